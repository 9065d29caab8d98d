// The system helpers every layer uses: error texts, UTF-8, the key = value reader.
#include "platform/key_value.h"
#include "platform/syserror.h"
#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kvt::platform;

TEST(SystemTexts, AreTrimmedAndBounded)
{
    EXPECT_EQ(TrimSystemText("Access is denied.\r\n"), "Access is denied");
    EXPECT_EQ(TrimSystemText("Odd . . \n"), "Odd");
    EXPECT_EQ(TrimSystemText(std::string(300, 'x')).size(), 255u);
    EXPECT_EQ(SysErrorMessage(ENOENT), "No such file or directory");
    EXPECT_EQ(SysErrorMessage(EBUSY), "Device or resource busy");
}

TEST(Utf8, OnlyTheShortestFormOfAValidCodeIsACharacter)
{
    const std::pair<std::string, char32_t> good[] = {
        {"A", U'A'}, {"\xC5\xBE", U'\u017E'}, {"\xE2\x82\xAC", U'\u20AC'}, {"\xF4\x8F\xBF\xBF", U'\U0010FFFF'}};
    for (const auto& [text, code] : good) {
        const TUtf8Char c = DecodeUtf8(text + "rest");
        EXPECT_EQ(c.Code, code) << text;
        EXPECT_EQ(c.Length, text.size()) << text;
    }
    // Empty, stray, cut, overlong (NUL, 'A', U+07FF, U+FFFF), surrogate, above U+10FFFF, no lead.
    const char* const bad[] = {"", "\x80", "\xC5", "\xC5" "A", "\xC0\x80", "\xC1\x81", "\xE0\x81\x81", "\xE0\x9F\xBF",
        "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xFF"};
    for (const char* text : bad)
        EXPECT_EQ(DecodeUtf8(text).Length, 0u) << testing::PrintToString(text);
}

TEST(Utf8, ToUtf16AndBack)
{
    const std::string text = "a\xC5\xBE\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::optional<std::u16string> wide = Utf16FromUtf8(text);
    ASSERT_TRUE(wide);
    EXPECT_EQ(*wide, (std::u16string{u'a', 0x017E, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(Utf8FromUtf16(*wide), text);
    EXPECT_EQ(Utf16FromUtf8(""), std::u16string());
    EXPECT_FALSE(Utf16FromUtf8("name\xC0\xAF"));
    // A surrogate without its pair, as Windows gives it in a name: U+FFFD.
    EXPECT_EQ(Utf8FromUtf16(std::u16string{u'a', 0xDC00, 0xD800}), "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(KeyValueLines, CommentsBlanksAndLinesWithoutAValue)
{
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    const std::vector<TKeyValueLine> lines =
        KeyValueLines("# head\r\n\n  key = value # note\r\nflag\nname=a=b\n   \t\nlast =  ");
    ASSERT_EQ(lines.size(), 4u);
    const TKeyValueLine expected[] = {{3, "key", "value", true}, {4, "flag", "", false}, {5, "name", "a=b", true},
        {7, "last", "", true}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].Number, expected[i].Number) << i;
        EXPECT_EQ(lines[i].Key, expected[i].Key) << i;
        EXPECT_EQ(lines[i].Value, expected[i].Value) << i;
        EXPECT_EQ(lines[i].HasValue, expected[i].HasValue) << i;
    }
}
