#include <gtest/gtest.h>

#include "signal/numeric_entry.h"

using namespace kvt;

namespace {

TDeviceSettings Calibrated()
{
    TDeviceSettings s;
    s.CalIn0mA = 32000;
    s.CalIn20mA = 62000;
    s.CalIn0V = 32768;
    s.CalIn10V = 62768;
    s.CalOut0mA = 100;
    s.CalOut20mA = 16100;
    s.CalOut0V = 50;
    s.CalOut10V = 16050;
    return s;
}

TEntryResult In(TNumInputKind Kind, std::string_view Begin, std::string_view End)
{
    return ComputeInputRange(Kind, Begin, End, Calibrated());
}

TEntryResult Out(TNumOutputKind Kind, std::string_view Begin, std::string_view End)
{
    return ComputeOutputRange(Kind, Begin, End, Calibrated());
}

} // namespace

TEST(ReadMaskField, CommaIsTheSeparatorAndBlanksAreZeros)
{
    EXPECT_DOUBLE_EQ(ReadMaskField("004,000").Value, 4.0);
    EXPECT_DOUBLE_EQ(ReadMaskField("-05,250").Value, -5.25);
    EXPECT_DOUBLE_EQ(ReadMaskField("+10,300").Value, 10.3);
    // Only a 4 in the second position of "99,999": reads 04,000.
    EXPECT_DOUBLE_EQ(ReadMaskField(" 4,   ").Value, 4.0);
    EXPECT_DOUBLE_EQ(ReadMaskField("1 5,0 1").Value, 105.001);
    EXPECT_DOUBLE_EQ(ReadMaskField("   ,   ").Value, 0.0);
    // A masked line edit that drops unfilled positions from its text.
    EXPECT_DOUBLE_EQ(ReadMaskField("4,").Value, 4.0);
    EXPECT_DOUBLE_EQ(ReadMaskField(",5").Value, 0.5);
    EXPECT_TRUE(ReadMaskField("").Ok);

    for (const char* bad : {"4.000", "1,2,3", "0-5,000", "abc", "12e3", "--1", "\xc2\xa0"}) {
        auto r = ReadMaskField(bad);
        EXPECT_FALSE(r.Ok) << bad;
        EXPECT_NE(r.Error.find(bad), std::string::npos) << r.Error;
    }
}

TEST(NumericInput, WordsForEachKind)
{
    auto r = In(TNumInputKind::Current, "004,000", "020,000");
    ASSERT_EQ(r.Status, TEntryStatus::Ok);
    EXPECT_EQ(r.Begin, 38000);
    EXPECT_EQ(r.End, 62000);
    EXPECT_EQ(In(TNumInputKind::Current, "000,000", "020,000").Begin, 32000);

    // 0 mV is 32767.5 raw: halves to even.
    r = In(TNumInputKind::Millivolt, "0000,0", "0585,0");
    ASSERT_EQ(r.Status, TEntryStatus::Ok);
    EXPECT_EQ(r.Begin, 32768);
    EXPECT_EQ(r.End, 65535);
    EXPECT_EQ(In(TNumInputKind::Millivolt, "-585,0", "0000,0").Begin, 0);

    r = In(TNumInputKind::Percent, "025,50", "100,00");
    ASSERT_EQ(r.Status, TEntryStatus::Ok);
    EXPECT_EQ(r.Begin, 2550);
    EXPECT_EQ(r.End, 10000);
}

TEST(NumericInput, ValidRangesAreInclusiveAndBeginIsCheckedFirst)
{
    auto r = In(TNumInputKind::Voltage, "-10,300", "010,300");
    ASSERT_EQ(r.Status, TEntryStatus::Ok);
    EXPECT_EQ(r.Begin, 1868);
    EXPECT_EQ(r.End, 63668);
    EXPECT_EQ(In(TNumInputKind::Voltage, "-10,301", "000,000").Status,
              TEntryStatus::BeginOutOfRange);
    EXPECT_EQ(In(TNumInputKind::Voltage, "000,000", "010,301").Status,
              TEntryStatus::EndOutOfRange);
    EXPECT_EQ(In(TNumInputKind::Current, "-20,500", "020,500").Status, TEntryStatus::Ok);
    // Both out of range: only the begin is reported.
    EXPECT_EQ(In(TNumInputKind::Current, "030,000", "-30,000").Status,
              TEntryStatus::BeginOutOfRange);
    EXPECT_EQ(In(TNumInputKind::Millivolt, "-585,1", "0000,0").Status,
              TEntryStatus::BeginOutOfRange);
    EXPECT_EQ(In(TNumInputKind::Percent, "000,00", "100,01").Status,
              TEntryStatus::EndOutOfRange);
    // A text that does not convert refuses the entry before any range check.
    r = In(TNumInputKind::Current, "030,000", "4.0");
    EXPECT_EQ(r.Status, TEntryStatus::BadNumber);
    EXPECT_FALSE(r.Error.empty());
}

TEST(NumericInput, RawWordsOutside16BitsAreRefusedNotWrapped)
{
    TDeviceSettings s = Calibrated();
    s.CalIn0mA = 1000;
    s.CalIn20mA = 64000; // 3150 raw per mA: -20.5 mA is -63575, 20.5 mA is 65575
    auto r = ComputeInputRange(TNumInputKind::Current, "-20,500", "004,000", s);
    EXPECT_EQ(r.Status, TEntryStatus::BeginOutOfRange);
    r = ComputeInputRange(TNumInputKind::Current, "000,000", "020,500", s);
    EXPECT_EQ(r.Status, TEntryStatus::EndOutOfRange);
    r = ComputeInputRange(TNumInputKind::Current, "000,000", "020,000", s);
    ASSERT_EQ(r.Status, TEntryStatus::Ok);
    EXPECT_EQ(r.End, 64000);
    // A resistance entry of -1 % is inside the valid range but has no raw word.
    EXPECT_EQ(In(TNumInputKind::Percent, "-01,00", "050,00").Status,
              TEntryStatus::BeginOutOfRange);
    // Just inside: -0.004 % is -0.4 raw and rounds to 0.
    EXPECT_EQ(In(TNumInputKind::Percent, "-00,00", "000,00").Begin, 0);
}

TEST(NumericOutput, CodesAndUpperLimits)
{
    auto r = Out(TNumOutputKind::Current, "04,000", "20,000");
    ASSERT_EQ(r.Status, TEntryStatus::Ok);
    EXPECT_EQ(r.Begin, 3300);
    EXPECT_EQ(r.End, 16100);
    EXPECT_EQ(Out(TNumOutputKind::Current, "21,000", "00,000").Status, TEntryStatus::Ok);
    EXPECT_EQ(Out(TNumOutputKind::Current, "21,500", "00,000").Status,
              TEntryStatus::BeginOutOfRange);
    EXPECT_EQ(Out(TNumOutputKind::Current, "00,000", "21,001").Status,
              TEntryStatus::EndOutOfRange);
    r = Out(TNumOutputKind::Voltage, "05,000", "10,500");
    ASSERT_EQ(r.Status, TEntryStatus::Ok);
    EXPECT_EQ(r.Begin, 8050);
    EXPECT_EQ(r.End, 16850);
    EXPECT_EQ(Out(TNumOutputKind::Voltage, "10,501", "00,000").Status,
              TEntryStatus::BeginOutOfRange);
    // Half a DA step rounds to even.
    TDeviceSettings s = Calibrated();
    s.CalOut0mA = 0;
    s.CalOut20mA = 20; // one step per mA
    EXPECT_EQ(ComputeOutputRange(TNumOutputKind::Current, "02,500", "03,500", s).Begin, 2);
    EXPECT_EQ(ComputeOutputRange(TNumOutputKind::Current, "02,500", "03,500", s).End, 4);
    // A code that cannot be a 16-bit word is refused like a value out of range.
    s.CalOut0mA = 64000;
    s.CalOut20mA = 65500; // 21 mA is code 65575
    EXPECT_EQ(ComputeOutputRange(TNumOutputKind::Current, "00,000", "21,000", s).Status,
              TEntryStatus::EndOutOfRange);
}

TEST(NumericEntry, ZeroTextsFitTheirMasks)
{
    for (auto k : {TNumInputKind::Current, TNumInputKind::Voltage, TNumInputKind::Millivolt,
                   TNumInputKind::Percent}) {
        const auto m = NumInputMask(k);
        EXPECT_EQ(m.ZeroText.size(), m.Mask.find(';'));
        EXPECT_EQ(m.QtMask.size(), m.Mask.find(';') + 2);
        EXPECT_DOUBLE_EQ(ReadMaskField(m.ZeroText).Value, 0.0);
    }
    EXPECT_TRUE(NeedsPowerCycle(1399999999));
    EXPECT_FALSE(NeedsPowerCycle(1400000000));
}
