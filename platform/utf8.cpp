#include "platform/utf8.h"

namespace kvt::platform {

namespace {

template <typename TUnit>
bool ToUtf16(std::string_view Text, std::basic_string<TUnit>& Out)
{
    Out.clear();
    Out.reserve(Text.size());
    while (!Text.empty()) {
        const TUtf8Char c = DecodeUtf8(Text);
        if (c.Length == 0)
            return false;
        if (c.Code < 0x10000) {
            Out.push_back(static_cast<TUnit>(c.Code));
        } else {
            const char32_t v = c.Code - 0x10000;
            Out.push_back(static_cast<TUnit>(0xD800 + (v >> 10)));
            Out.push_back(static_cast<TUnit>(0xDC00 + (v & 0x3FF)));
        }
        Text.remove_prefix(c.Length);
    }
    return true;
}

void AppendUtf8(std::string& Out, char32_t Code)
{
    if (Code < 0x80) {
        Out.push_back(static_cast<char>(Code));
    } else if (Code < 0x800) {
        Out.push_back(static_cast<char>(0xC0 | (Code >> 6)));
        Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
    } else if (Code < 0x10000) {
        Out.push_back(static_cast<char>(0xE0 | (Code >> 12)));
        Out.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
    } else {
        Out.push_back(static_cast<char>(0xF0 | (Code >> 18)));
        Out.push_back(static_cast<char>(0x80 | ((Code >> 12) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
    }
}

template <typename TUnit>
std::string FromUtf16(const TUnit* Text, std::size_t Length)
{
    std::string out;
    out.reserve(Length);
    for (std::size_t i = 0; i < Length; ++i) {
        const char32_t u = static_cast<char16_t>(Text[i]);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < Length) {
            const char32_t low = static_cast<char16_t>(Text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
    return out;
}

} // namespace

TUtf8Char DecodeUtf8(std::string_view Text) noexcept
{
    if (Text.empty())
        return {};
    const auto* p = reinterpret_cast<const unsigned char*>(Text.data());
    const unsigned char c = p[0];
    if (c < 0x80)
        return {c, 1};
    std::size_t len = 0;
    char32_t code = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        code = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        code = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        code = c & 0x07u;
    } else {
        return {};
    }
    if (Text.size() < len)
        return {};
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return {};
        code = (code << 6) | (p[i] & 0x3Fu);
    }
    static const char32_t Lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Lowest[len] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {code, len};
}

std::optional<std::u16string> Utf16FromUtf8(std::string_view Text)
{
    std::u16string out;
    if (!ToUtf16(Text, out))
        return std::nullopt;
    return out;
}

std::string Utf8FromUtf16(std::u16string_view Text)
{
    return FromUtf16(Text.data(), Text.size());
}

#ifdef _WIN32
static_assert(sizeof(wchar_t) == 2, "the wide characters of the Windows API are UTF-16 units");

std::optional<std::wstring> WideFromUtf8(std::string_view Text)
{
    std::wstring out;
    if (!ToUtf16(Text, out))
        return std::nullopt;
    return out;
}

std::string Utf8FromWide(std::wstring_view Text)
{
    return FromUtf16(Text.data(), Text.size());
}
#endif

} // namespace kvt::platform
