#include "platform/key_value.h"

namespace kvt::platform {

namespace {

constexpr std::string_view Blanks = " \t\r\n";

} // namespace

std::string Trim(std::string_view Text)
{
    const auto first = Text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = Text.find_last_not_of(Blanks);
    return std::string(Text.substr(first, last - first + 1));
}

std::vector<TKeyValueLine> KeyValueLines(std::string_view Text)
{
    std::vector<TKeyValueLine> lines;
    int number = 0;
    while (!Text.empty()) {
        const auto end = Text.find('\n');
        std::string_view line = Text.substr(0, end);
        Text.remove_prefix(end == std::string_view::npos ? Text.size() : end + 1);
        ++number;
        line = line.substr(0, line.find('#'));
        const std::string whole = Trim(line);
        if (whole.empty())
            continue;
        TKeyValueLine l;
        l.Number = number;
        const auto eq = whole.find('=');
        l.HasValue = eq != std::string::npos;
        l.Key = l.HasValue ? Trim(std::string_view(whole).substr(0, eq)) : whole;
        if (l.HasValue)
            l.Value = Trim(std::string_view(whole).substr(eq + 1));
        lines.push_back(std::move(l));
    }
    return lines;
}

} // namespace kvt::platform
