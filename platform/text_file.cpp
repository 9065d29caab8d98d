#include "platform/text_file.h"

#include "platform/utf8.h"

#include <algorithm>
#include <cerrno>

namespace kvt {

std::string MessageQuote(std::string_view Text, std::size_t Max)
{
    std::string out = "\"";
    size_t i = 0;
    while (i < Text.size()) {
        const platform::TUtf8Char c = platform::DecodeUtf8(Text.substr(i));
        if (i + (c.Length ? c.Length : 1) > Max)
            break;
        if (c.Length == 0 || c.Code < 0x20 || c.Code == 0x7F)
            out += '?';
        else
            out.append(Text.substr(i, c.Length));
        i += c.Length ? c.Length : 1;
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
