#include <gtest/gtest.h>

#include <cmath>

#include "signal/field_text.h"
#include "signal/number_format.h"

using namespace kvt;

TEST(FormatFloat, PicturesOfTheProgram)
{
    EXPECT_EQ(FormatFloat("#00.000", -5.25, ","), "-05,250");
    EXPECT_EQ(FormatFloat("000.000", 12.5, ","), "012,500");
    EXPECT_EQ(FormatFloat("000.000", 5.25, ","), "005,250");
    EXPECT_EQ(FormatFloat("#000.0", -123.4, ","), "-123,4");
    EXPECT_EQ(FormatFloat("0000.0", 123.4, ","), "0123,4");
    EXPECT_EQ(FormatFloat("000.00", 25.0, ","), "025,00");
    EXPECT_EQ(FormatFloat("00.000", 5.0, ","), "05,000");
    EXPECT_EQ(FormatFloat("0.#", 585.0, ","), "585");
    EXPECT_EQ(FormatFloat("0.#", 3.5, "."), "3.5");
    EXPECT_EQ(FormatFloat("0.#", 0.0, ","), "0");
    EXPECT_EQ(FormatFloat("0.#", -0.0, ","), "0");
    // More integer digits than the picture holds are all shown.
    EXPECT_EQ(FormatFloat("00.000", 123.4567, ","), "123,457");
    EXPECT_EQ(FormatFloat("0.#", 1e9, ","), "1000000000");
    // A separator longer than one byte is written as given.
    EXPECT_EQ(FormatFloat("0.#", 1.5, "\u066b"), "1\u066b5");
}

TEST(FormatFloat, HalvesRoundAwayFromZeroOnTheDecimalValue)
{
    // 123.45 and 0.285 are slightly below their decimal value in binary; the rule works on
    // 15 significant digits, so binary noise does not turn them down.
    EXPECT_EQ(FormatFloat("0.#", 123.45, ","), "123,5");
    EXPECT_EQ(FormatFloat("0.#", -123.45, ","), "-123,5");
    EXPECT_EQ(FormatFloat("0.00", 0.285, ","), "0,29");
    EXPECT_EQ(FormatFloat("0.00", 0.125, ","), "0,13");
    EXPECT_EQ(FormatFloat("0.#", 0.04, ","), "0");
    EXPECT_EQ(FormatFloat("0.#", 0.05, ","), "0,1");
    EXPECT_EQ(FormatFloat("0.#", 9.96, ","), "10");
    EXPECT_EQ(FormatFloat("00.000", 99.9996, ","), "100,000");
    EXPECT_EQ(FormatFloat("0.#", 0.00004, ","), "0");
    EXPECT_EQ(FormatFloat("0.#", 123.44999, ","), "123,4");
    // Every v / 100 of the millivolt range: same as rounding the integer v by tenths.
    for (int v = -58500; v <= 58500; v += 7) {
        const int tenths = (std::abs(v) + 5) / 10 * (v < 0 ? -1 : 1);
        std::string expected = std::to_string(std::abs(tenths) / 10);
        if (tenths % 10 != 0)
            expected += "," + std::to_string(std::abs(tenths) % 10);
        if (tenths < 0)
            expected.insert(0, "-");
        ASSERT_EQ(FormatFloat("0.#", v / 100.0, ","), expected) << v;
    }
    EXPECT_EQ(FormatFloat("0.#", NAN, ","), "NAN");
    EXPECT_EQ(FormatFloat("0.#", -INFINITY, ","), "-INF");
}

TEST(FieldText, InputFieldsByInputMode)
{
    EXPECT_EQ(InputFieldText(3, 12500, 0), "012,500");
    EXPECT_EQ(InputFieldText(3, -5250, 0), "-05,250");
    EXPECT_EQ(InputFieldText(4, 5250, 0), "005,250");
    EXPECT_EQ(InputFieldText(4, 0, 0), "000,000");
    EXPECT_EQ(InputFieldText(5, 12340, 0), "0123,4");
    EXPECT_EQ(InputFieldText(5, -12340, 0), "-123,4");
    EXPECT_EQ(InputFieldText(5, -58500, 0), "-585,0");
    // Shows as zero: the positive picture, so the text still fits its mask.
    EXPECT_EQ(InputFieldText(5, -4, 0), "0000,0");
    // The stored word, not the converted value.
    EXPECT_EQ(InputFieldText(6, 26, 2550), "025,50");
    EXPECT_EQ(InputFieldText(6, 0, 2500), "025,00");
    EXPECT_FALSE(InputFieldText(7, 1, 1).has_value());
    // The window passes the mask's comma; the default is that comma.
    EXPECT_EQ(InputFieldText(3, 12500, 0, "."), "012.500");
}

TEST(FieldText, FromSettings)
{
    TDeviceSettings s;
    s.ConfigType = 15;
    s.InputMode = 3;
    s.CalIn0mA = 1000;
    s.CalIn20mA = 41000;
    s.InZero = 500;    // -250 uA
    s.InEnd = 26000;   // 12500 uA
    s.OutputMode = 3;
    s.CalOut0mA = 100;
    s.CalOut20mA = 16100;
    s.OutZero = 4100;
    s.OutEnd = 16100;
    std::string suffix;
    auto in = InputFieldTexts(s, suffix);
    ASSERT_TRUE(in.Fill);
    EXPECT_EQ(in.Begin, "-00,250");
    EXPECT_EQ(in.End, "012,500");
    EXPECT_EQ(suffix, " uA");
    auto out = OutputFieldTexts(s);
    ASSERT_TRUE(out.Fill);
    EXPECT_EQ(out.Begin, "05,000");
    EXPECT_EQ(out.End, "20,000");

    // An unknown InputMode leaves the input fields, but the conversion still ran.
    s.ConfigType = 2;
    s.InputMode = 9;
    suffix.clear();
    EXPECT_FALSE(InputFieldTexts(s, suffix).Fill);
    EXPECT_EQ(suffix, " uA");

    s.OutputMode = 4;
    s.CalOut0V = 200;
    s.CalOut10V = 16200;
    s.OutZero = 8200;
    EXPECT_EQ(OutputFieldTexts(s).Begin, "05,000");
    s.CalOut10V = 200; // equal words: 0, no division by zero
    EXPECT_EQ(OutputFieldTexts(s).Begin, "00,000");
    s.OutputMode = 0;
    EXPECT_FALSE(OutputFieldTexts(s).Fill);
}
