// UTF-8 as the program reads it, and the UTF-16 of the Windows API. Every reader of UTF-8 takes it
// from here, so that all of them agree on what is UTF-8: a sequence in its shortest form, no
// surrogate, nothing above U+10FFFF.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::platform {

struct TUtf8Char {
    char32_t Code = 0;
    std::size_t Length = 0; // bytes; 0 when the text does not start with a UTF-8 character
};

// The character at the start of Text. Length 0 for an empty text, a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate and a code above U+10FFFF.
TUtf8Char DecodeUtf8(std::string_view Text) noexcept;

// The UTF-16 form of Text; nothing when Text is not UTF-8 throughout.
std::optional<std::u16string> Utf16FromUtf8(std::string_view Text);
// The UTF-8 form of UTF-16 Text; a surrogate without its pair becomes U+FFFD, as Windows does it.
std::string Utf8FromUtf16(std::u16string_view Text);

#ifdef _WIN32
// The same for the wide characters of the Windows API, UTF-16 units there.
std::optional<std::wstring> WideFromUtf8(std::string_view Text);
std::string Utf8FromWide(std::wstring_view Text);
#endif

} // namespace kvt::platform
