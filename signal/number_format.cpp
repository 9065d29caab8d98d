#include "signal/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kvt {

namespace {

constexpr int SignificantDigits = 15;

struct TPicture {
    int MinInt = 0; // integer digits always shown
    int MinDec = 0; // decimals always shown
    int MaxDec = 0; // decimals shown when significant
};

TPicture ParsePicture(std::string_view Picture)
{
    TPicture p;
    bool afterPoint = false;
    bool zeroSeen = false;
    int decPlaces = 0;
    for (char c : Picture) {
        if (c == '.') {
            if (afterPoint)
                break; // a second point ends the picture
            afterPoint = true;
            continue;
        }
        if (c != '0' && c != '#')
            continue;
        if (!afterPoint) {
            // '#' before the first '0' is optional; every placeholder after it is a fixed digit
            if (c == '0')
                zeroSeen = true;
            if (zeroSeen)
                ++p.MinInt;
        } else {
            ++decPlaces;
            if (c == '0')
                p.MinDec = decPlaces;
        }
    }
    p.MaxDec = decPlaces;
    return p;
}

} // namespace

std::string FormatFloat(std::string_view Picture, double Value, std::string_view DecimalSeparator)
{
    if (std::isnan(Value))
        return "NAN";
    if (std::isinf(Value))
        return Value < 0 ? "-INF" : "INF";

    const TPicture pic = ParsePicture(Picture);

    // d.dddddddddddddde+XX: locale-independent, exactly SignificantDigits digits.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific,
                             SignificantDigits - 1);
    std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
    const bool negative = !sci.empty() && sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    const size_t ePos = sci.find('e');
    std::string digits;
    digits.reserve(SignificantDigits + 1);
    for (size_t i = 0; i < ePos; ++i)
        if (sci[i] != '.')
            digits.push_back(sci[i]);
    const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());
    int intDigits = exponent + 1; // digits before the decimal point

    // Round to MaxDec decimals, half away from zero on the decimal digits.
    const int keep = intDigits + pic.MaxDec;
    if (keep < 0) {
        digits.clear();
    } else if (keep < static_cast<int>(digits.size())) {
        const bool up = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[static_cast<size_t>(i)] == '9')
                digits[static_cast<size_t>(i--)] = '0';
            if (i >= 0) {
                ++digits[static_cast<size_t>(i)];
            } else {
                digits.insert(digits.begin(), '1');
                ++intDigits;
            }
        }
    }
    auto digitAt = [&](int pos) -> char {
        return pos >= 0 && pos < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(pos)]
                                                                 : '0';
    };

    std::string intStr;
    for (int pos = 0; pos < intDigits; ++pos)
        intStr.push_back(digitAt(pos));
    size_t firstSignificant = intStr.find_first_not_of('0');
    intStr.erase(0, firstSignificant == std::string::npos ? intStr.size() : firstSignificant);
    if (static_cast<int>(intStr.size()) < pic.MinInt)
        intStr.insert(0, static_cast<size_t>(pic.MinInt) - intStr.size(), '0');

    std::string decStr;
    for (int i = 0; i < pic.MaxDec; ++i)
        decStr.push_back(digitAt(intDigits + i));
    bool isZero = intStr.find_first_not_of('0') == std::string::npos
                  && decStr.find_first_not_of('0') == std::string::npos;
    while (static_cast<int>(decStr.size()) > pic.MinDec && decStr.back() == '0')
        decStr.pop_back();

    std::string out;
    out.reserve(intStr.size() + decStr.size() + DecimalSeparator.size() + 1);
    if (negative && !isZero)
        out.push_back('-');
    out += intStr;
    if (!decStr.empty()) {
        out += DecimalSeparator;
        out += decStr;
    }
    if (out.empty() || out == "-")
        out += '0'; // a picture without fixed digits still shows a zero value as "0"
    return out;
}

} // namespace kvt
