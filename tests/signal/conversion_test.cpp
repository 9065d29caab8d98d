#include <gtest/gtest.h>

#include "signal/conversion.h"
#include "signal/signal_kind.h"

using namespace kvt;

namespace {

TDeviceSettings Current(int Config = 0)
{
    TDeviceSettings s;
    s.ConfigType = Config;
    s.CalIn0mA = 1000;
    s.CalIn20mA = 41000;
    return s;
}

TDeviceSettings Pc(int InputMode)
{
    TDeviceSettings s;
    s.ConfigType = 15;
    s.InputMode = InputMode;
    s.CalIn0mA = 1000;
    s.CalIn20mA = 41000;
    s.CalIn0V = 0;
    s.CalIn10V = 50000;
    return s;
}

} // namespace

TEST(NormalizeValueAD, CurrentInputInMicroamperes)
{
    std::string suffix;
    const auto s = Current();
    EXPECT_EQ(NormalizeValueAD(s, 1000, suffix), 0);
    EXPECT_EQ(suffix, " uA");
    EXPECT_EQ(NormalizeValueAD(s, 21000, suffix), 10000);
    EXPECT_EQ(NormalizeValueAD(s, 41000, suffix), 20000);
    EXPECT_EQ(NormalizeValueAD(s, 500, suffix), -250);
    // 1 raw step is 0.5 uA: 1001 -> 0.5 -> 0, 1003 -> 1.5 -> 2 (halves to even)
    EXPECT_EQ(NormalizeValueAD(s, 1001, suffix), 0);
    EXPECT_EQ(NormalizeValueAD(s, 1003, suffix), 2);
    EXPECT_EQ(NormalizeValueAD(s, 999, suffix), 0);
    for (int config : {1, 2, 3, 4})
        EXPECT_EQ(NormalizeValueAD(Current(config), 21000, suffix), 10000) << config;
}

TEST(NormalizeValueAD, VoltagePercentAndMillivolt)
{
    std::string suffix;
    TDeviceSettings v;
    v.ConfigType = 6;
    v.CalIn0V = 0;
    v.CalIn10V = 50000;
    EXPECT_EQ(NormalizeValueAD(v, 25000, suffix), 5000);
    EXPECT_EQ(suffix, " mV");

    TDeviceSettings r;
    r.ConfigType = 9;
    EXPECT_EQ(NormalizeValueAD(r, 10000, suffix), 100);
    EXPECT_EQ(suffix, " %");
    EXPECT_EQ(NormalizeValueAD(r, 250, suffix), 2);
    EXPECT_EQ(NormalizeValueAD(r, 350, suffix), 4);
    EXPECT_EQ(NormalizeValueAD(r, 65535, suffix), 655);

    const auto mv = Pc(5);
    EXPECT_EQ(NormalizeValueAD(mv, 32768, suffix), 0);
    EXPECT_EQ(suffix, " mV");
    EXPECT_EQ(NormalizeValueAD(mv, 65535, suffix), 58498);
    EXPECT_EQ(NormalizeValueAD(mv, 0, suffix), -58500);
}

TEST(NormalizeValueAD, PcConfigurationFollowsInputModeWhateverTheWords)
{
    std::string suffix;
    EXPECT_EQ(NormalizeValueAD(Pc(3), 21000, suffix), 10000);
    EXPECT_EQ(suffix, " uA");
    EXPECT_EQ(NormalizeValueAD(Pc(4), 25000, suffix), 5000);
    EXPECT_EQ(suffix, " mV");
    EXPECT_EQ(NormalizeValueAD(Pc(6), 21000, suffix), 210);
    EXPECT_EQ(suffix, " %");
    // Under a DIP configuration the InputMode word is ignored.
    auto dip = Current(2);
    dip.InputMode = 6;
    EXPECT_EQ(NormalizeValueAD(dip, 21000, suffix), 10000);
    EXPECT_EQ(suffix, " uA");
}

TEST(NormalizeValueAD, NoConversionKeepsSuffixAndGivesZero)
{
    std::string suffix = " %";
    for (int mode : {0, 2, 7, 65535})
        EXPECT_EQ(NormalizeValueAD(Pc(mode), 21000, suffix), 0) << mode;
    for (int config : {11, 12, 13, 14, 16, -1})
        EXPECT_EQ(NormalizeValueAD(Current(config), 21000, suffix), 0) << config;
    EXPECT_EQ(suffix, " %");
}

TEST(NormalizeValueAD, EqualCalibrationWordsGiveZeroWithoutDividing)
{
    std::string suffix;
    TDeviceSettings s = Current();
    s.CalIn20mA = s.CalIn0mA;
    EXPECT_EQ(NormalizeValueAD(s, 30000, suffix), 0);
    EXPECT_EQ(suffix, " uA");
    TDeviceSettings v;
    v.ConfigType = 5; // all voltage calibration words 0
    EXPECT_EQ(NormalizeValueAD(v, 65535, suffix), 0);
    EXPECT_EQ(suffix, " mV");
    // Adjacent words: the largest value still fits.
    s.CalIn20mA = s.CalIn0mA + 1;
    EXPECT_EQ(NormalizeValueAD(s, 65535, suffix), (65535 - 1000) * 20000);
}

TEST(ConfigType, TextsClassesAndKinds)
{
    EXPECT_EQ(ConfigTypeText(0), "0/4 - 20 mA DC na 0/4 - 20 mA DC");
    EXPECT_EQ(ConfigTypeText(10), "Odporový vysílač DC na 0 - 10 V DC");
    for (int code : {-1, 11, 14, 15, 16, 255})
        EXPECT_TRUE(ConfigTypeText(code).empty()) << code;

    EXPECT_EQ(ConfigClassOf(0), TConfigClass::Dip);
    EXPECT_EQ(ConfigClassOf(10), TConfigClass::Dip);
    EXPECT_EQ(ConfigClassOf(11), TConfigClass::NotAllowed);
    EXPECT_EQ(ConfigClassOf(14), TConfigClass::NotAllowed);
    EXPECT_EQ(ConfigClassOf(15), TConfigClass::Pc);
    EXPECT_EQ(ConfigClassOf(16), TConfigClass::Unknown);
    EXPECT_EQ(ConfigClassOf(-1), TConfigClass::Unknown);

    EXPECT_EQ(SignalKindOf(4, 0), TSignalKind::Current);
    EXPECT_EQ(SignalKindOf(5, 3), TSignalKind::Voltage);
    EXPECT_EQ(SignalKindOf(10, 5), TSignalKind::Percent);
    EXPECT_EQ(SignalKindOf(15, 5), TSignalKind::Millivolt);
    EXPECT_EQ(SignalKindOf(15, 7), TSignalKind::None);
    EXPECT_EQ(SignalKindOf(12, 3), TSignalKind::None);
}

TEST(MeasurementText, MillivoltInputShowsHundredthsWithOneDecimal)
{
    EXPECT_EQ(MeasurementText(15, 5, 58498, " mV", ","), "585 mV");
    EXPECT_EQ(MeasurementText(15, 5, 12340, " mV", ","), "123,4 mV");
    EXPECT_EQ(MeasurementText(15, 5, 12350, " mV", "."), "123.5 mV");
    EXPECT_EQ(MeasurementText(15, 5, 12300, " mV", ","), "123 mV");
    EXPECT_EQ(MeasurementText(15, 5, -350, " mV", ","), "-3,5 mV");
    EXPECT_EQ(MeasurementText(15, 5, -4, " mV", ","), "0 mV"); // no "-0"
    // Every other kind shows the integer, also millivolts of the voltage input.
    EXPECT_EQ(MeasurementText(15, 3, 10000, " uA", ","), "10000 uA");
    EXPECT_EQ(MeasurementText(5, 5, 12345, " mV", ","), "12345 mV");
    EXPECT_EQ(ValueText(0, 0, -250, ","), "-250");
}
