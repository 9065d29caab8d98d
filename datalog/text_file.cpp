#include "datalog/text_file.h"

namespace kvt {

namespace {

// Length of the UTF-8 sequence at P (at most Left bytes), 0 when it is not one.
size_t SequenceLength(const unsigned char* P, size_t Left)
{
    const unsigned char c = P[0];
    size_t len = 0;
    unsigned cp = 0;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (Left < len)
        return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((P[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (P[i] & 0x3Fu);
    }
    static const unsigned Lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < Lowest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::string MessageQuote(std::string_view Text, std::size_t Max)
{
    std::string out = "\"";
    const auto* p = reinterpret_cast<const unsigned char*>(Text.data());
    size_t i = 0;
    while (i < Text.size()) {
        const size_t len = SequenceLength(p + i, Text.size() - i);
        if (i + (len ? len : 1) > Max)
            break;
        if (len == 0 || (len == 1 && (p[i] < 0x20 || p[i] == 0x7F)))
            out += '?';
        else
            out.append(Text.substr(i, len));
        i += len ? len : 1;
    }
    if (i < Text.size())
        out += "...";
    return out + "\"";
}

namespace detail {

std::string LimitText(std::size_t Limit)
{
    if (Limit >= (1u << 20) && Limit % (1u << 20) == 0)
        return std::to_string(Limit >> 20) + " MiB";
    return std::to_string(Limit) + " bytes";
}

void DropByteOrderMark(std::string& Text)
{
    if (Text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        Text.erase(0, 3);
}

} // namespace detail

} // namespace kvt
