#include "signal/output_code.h"

#include <climits>

namespace kvt {

int CodeFromFieldText(std::string_view Text)
{
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    bool negative = false;
    if (!Text.empty() && (Text.front() == '-' || Text.front() == '+')) {
        negative = Text.front() == '-';
        Text.remove_prefix(1);
    }
    if (Text.empty())
        return 0;
    long long value = 0;
    for (char c : Text) {
        if (c < '0' || c > '9')
            return 0;
        if (value <= INT_MAX)
            value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace kvt
