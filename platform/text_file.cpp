#include "platform/text_file.h"

#include <algorithm>
#include <cerrno>

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

std::string ReadBounded(const std::function<std::size_t(char* Buffer, std::size_t Room)>& Read,
                        unsigned long long Size, std::size_t Limit, const std::string& Path)
{
    const std::string tooLarge =
        "Is larger than " + (Limit >= (1u << 20) && Limit % (1u << 20) == 0 ? std::to_string(Limit >> 20) + " MiB"
                                                                             : std::to_string(Limit) + " bytes");
    if (Size > Limit)
        throw EFileError(EFBIG, Path, tooLarge);
    std::string text(static_cast<std::size_t>(Size) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (text.size() > Limit)
                throw EFileError(EFBIG, Path, tooLarge);
            text.resize(std::min(Limit + 1, text.size() * 2 + 4096));
        }
        const std::size_t n = Read(text.data() + got, text.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    if (got > Limit)
        throw EFileError(EFBIG, Path, tooLarge);
    text.resize(got);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    return text;
}

} // namespace detail

} // namespace kvt
