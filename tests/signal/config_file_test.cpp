// The configuration file, the plan that puts it onto a converter, and the rules for the value of
// each writable word.
#include "protocol/device_settings.h"
#include "signal/config_error.h"
#include "signal/config_file.h"
#include "signal/config_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace kvt;

namespace {

const char* const GoodFile = R"(# a comment
input = current
input-begin = 4.000 mA
input-end = 20 mA   # no decimals, fine
output = voltage
output-begin = 0,5
output-end = 10.000 V
filter = 2
reaction = 1
)";

TDeviceSettings Kvt27(int ConfigType = 15)
{
    TDeviceSettings s;
    s.DeviceModel = ModelKVT27;
    s.FirmwareVersion = 1500000000;
    s.ConfigType = ConfigType;
    s.InputMode = 3;
    s.OutputMode = 3;
    s.CalIn0mA = 32000;
    s.CalIn20mA = 62000;
    s.CalIn0V = 32000;
    s.CalIn10V = 60000;
    s.CalOut0mA = 100;
    s.CalOut20mA = 16100;
    s.CalOut0V = 120;
    s.CalOut10V = 15920;
    s.InZero = 38000;
    s.InEnd = 62000;
    s.OutZero = 3300;
    s.OutEnd = 16100;
    return s;
}

// The fault F throws, none when it throws none.
std::optional<TConfigFault> FaultOf(const std::function<void()>& F, std::string* Message = nullptr)
{
    try {
        F();
    } catch (const EConfigError& e) {
        if (Message)
            *Message = e.what();
        return e.Fault;
    }
    return std::nullopt;
}

std::string Replace(std::string Text, const std::string& From, const std::string& To)
{
    const auto at = Text.find(From);
    EXPECT_NE(at, std::string::npos) << From;
    if (at != std::string::npos)
        Text.replace(at, From.size(), To);
    return Text;
}

} // namespace

TEST(ConfigFile, ParsesAGoodFile)
{
    const TProfile p = ParseProfile(GoodFile, "f");
    EXPECT_EQ(p.InputMode, 3);
    EXPECT_EQ(p.InBegin, "4.000");
    EXPECT_EQ(p.InEnd, "20");
    EXPECT_EQ(p.OutputMode, 4);
    EXPECT_EQ(p.OutBegin, "0.5");
    EXPECT_EQ(p.FilterType, 2);
    EXPECT_EQ(p.LimitReaction, 1);
    // What it writes, it reads back the same.
    const TProfile again = ParseProfile(FormatProfile(p, {"heading"}), "g");
    EXPECT_EQ(again.InBegin, p.InBegin);
    EXPECT_EQ(again.OutEnd, p.OutEnd);
    EXPECT_EQ(again.OutputMode, p.OutputMode);
    EXPECT_EQ(again.LimitReaction, p.LimitReaction);
}

TEST(ConfigFile, RefusesWhatDoesNotParseWithTheLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {Replace(GoodFile, "filter = 2\n", ""), "\"filter\" is missing"},
        {std::string(GoodFile) + "filter = 1\n", "f:10: filter is given twice"},
        {Replace(GoodFile, "input = current", "input = amps"), "f:2: input: expected"},
        {Replace(GoodFile, "input-begin = 4.000 mA", "input-begin = 4.0001 mA"), "f:3: input-begin: at most 3 decimals"},
        {Replace(GoodFile, "input-begin = 4.000 mA", "input-begin = 4.000 V"), "f:3: input-begin: the unit is mA"},
        {Replace(GoodFile, "input-begin = 4.000 mA", "input-begin = 25 mA"), "f:3: input-begin 25 mA is outside the valid range"},
        {Replace(GoodFile, "input-end = 20 mA", "input-end = -20.501"), "f:4: input-end -20.501 mA is outside"},
        {Replace(GoodFile, "output-begin = 0,5", "output-begin = -0.5"), "f:6: output-begin: an output value has no sign"},
        {Replace(GoodFile, "output-end = 10.000 V", "output-end = 10.6 V"), "f:7: output-end 10.6 V is above the highest 10.5 V"},
        {Replace(GoodFile, "reaction = 1", "reaction = 4"), "f:9: reaction: expected 0, 1, 2 or 3"},
        {Replace(GoodFile, "filter = 2", "filter 2"), "f:8: expected key = value"},
        {Replace(GoodFile, "filter = 2", "filtre = 2"), "f:8: unknown key \"filtre\""},
        {Replace(GoodFile, "input-begin = 4.000 mA", "input-begin = 4."), "f:3: input-begin: expected digits"},
    };
    for (const auto& [text, expected] : cases) {
        std::string message;
        EXPECT_EQ(FaultOf([&] { ParseProfile(text, "f"); }, &message), TConfigFault::BadValue) << expected;
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
}

TEST(ConfigFile, MillivoltAndResistanceKeepTheirFieldPrecision)
{
    std::string mv = Replace(Replace(Replace(GoodFile, "input = current", "input = millivolt"), "4.000 mA", "-585"), "20 mA", "123.4 mV");
    const TProfile p = ParseProfile(mv, "f");
    EXPECT_EQ(p.InBegin, "-585");
    std::string message;
    EXPECT_EQ(FaultOf([&] { ParseProfile(Replace(mv, "123.4 mV", "123.45 mV"), "f"); }, &message), TConfigFault::BadValue);
    EXPECT_NE(message.find("at most 1 decimals"), std::string::npos);
    const std::string pct = Replace(Replace(Replace(GoodFile, "input = current", "input = resistance"), "4.000 mA", "25.5 %"), "20 mA", "100");
    EXPECT_EQ(ParseProfile(pct, "f").InBegin, "25.5");
}

TEST(ConfigFile, SavedFromSettingsAsTheNumericFieldsShowThem)
{
    TDeviceSettings s = Kvt27();
    s.InZero = 32000 - 4500; // -3 mA with 1500 counts per mA
    s.FilterType = 1;
    s.LimitReaction = 2;
    const TProfile p = ProfileFromSettings(s);
    EXPECT_EQ(p.InputMode, 3);
    EXPECT_EQ(p.InBegin, "-3.000");
    EXPECT_EQ(p.InEnd, "20.000");
    EXPECT_EQ(p.OutBegin, "4.000");
    EXPECT_EQ(p.FilterType, 1);
    EXPECT_EQ(p.LimitReaction, 2);

    // Under a DIP configuration the switches decide the kinds: 7 is voltage to voltage.
    TDeviceSettings dip = Kvt27(7);
    dip.InZero = 32000 + 2800; // 1 V with 2800 counts per volt
    dip.OutZero = 120;
    const TProfile d = ProfileFromSettings(dip);
    EXPECT_EQ(d.InputMode, 4);
    EXPECT_EQ(d.InBegin, "1.000");
    EXPECT_EQ(d.OutputMode, 4);
    EXPECT_EQ(d.OutBegin, "0.000");

    // A KVT27L has no filter, an old KVT27 no reaction: they save as the neutral value.
    TDeviceSettings l = Kvt27();
    l.DeviceModel = ModelKVT27L;
    l.FilterType = 2;
    EXPECT_EQ(ProfileFromSettings(l).FilterType, 0);
    TDeviceSettings old = Kvt27();
    old.FirmwareVersion = 1100000000;
    old.LimitReaction = 1;
    EXPECT_EQ(ProfileFromSettings(old).LimitReaction, 0);

    TDeviceSettings bad = Kvt27(12);
    EXPECT_EQ(FaultOf([&] { ProfileFromSettings(bad); }), TConfigFault::Refused);
    bad = Kvt27();
    bad.InputMode = 9;
    EXPECT_EQ(FaultOf([&] { ProfileFromSettings(bad); }), TConfigFault::Refused);
}

TEST(ConfigFile, PlanUsesTheTargetsCalibration)
{
    const TProfile p = ParseProfile(GoodFile, "f");
    TDeviceSettings t = Kvt27();
    t.CalIn0mA = 31000;
    t.CalIn20mA = 61500; // 1525 counts per mA
    t.CalOut0V = 200;
    t.CalOut10V = 16200; // 1600 codes per volt
    t.InZero = 37100;
    const std::vector<TPlannedWrite> plan = PlanApply(p, t);
    ASSERT_EQ(plan.size(), 8u);
    const std::pair<uint8_t, int> expected[] = {{WordInZero, 37100}, {WordInEnd, 61500}, {WordInputMode, 3},
        {WordOutZero, 1000}, {WordOutEnd, 16200}, {WordOutputMode, 4}, {WordFilterType, 2}, {WordLimitReaction, 1}};
    for (size_t i = 0; i < plan.size(); ++i) {
        EXPECT_EQ(plan[i].Address, expected[i].first) << i;
        EXPECT_EQ(plan[i].New, expected[i].second) << i;
    }
    EXPECT_FALSE(plan[0].Write); // already 37100
    EXPECT_TRUE(plan[1].Write);
    EXPECT_FALSE(plan[2].Write);
}

TEST(ConfigFile, PlanRefusesWhatTheTargetCannotTake)
{
    const TProfile p = ParseProfile(GoodFile, "f");
    std::string message;

    // DIP configuration 3 is current to current; the file wants a voltage output.
    EXPECT_EQ(FaultOf([&] { PlanApply(p, Kvt27(3)); }, &message), TConfigFault::Refused);
    EXPECT_NE(message.find("DIP switches"), std::string::npos);
    // 10 V needs a code above a KVT27L's 8191 with this calibration.
    TDeviceSettings l = Kvt27();
    l.DeviceModel = ModelKVT27L;
    EXPECT_EQ(FaultOf([&] { PlanApply(p, l); }, &message), TConfigFault::Refused);
    EXPECT_NE(message.find("8191"), std::string::npos) << message;
    // A calibration that puts the input word outside 16 bits.
    TProfile minus = p;
    minus.InBegin = "-20";
    TDeviceSettings wide = Kvt27();
    wide.CalIn0mA = 1000;
    wide.CalIn20mA = 41000;
    EXPECT_EQ(FaultOf([&] { PlanApply(minus, wide); }, &message), TConfigFault::Refused);
    EXPECT_NE(message.find("input-begin -20 mA does not fit"), std::string::npos) << message;
    // The 3.5 mA reaction only in configuration 0; a filter on a KVT27L is refused, filter 0 skipped.
    TProfile drop = p;
    drop.OutputMode = 3;
    drop.LimitReaction = 3;
    EXPECT_EQ(FaultOf([&] { PlanApply(drop, Kvt27()); }, &message), TConfigFault::Refused);
    EXPECT_NE(message.find("3,5 mA"), std::string::npos);
    TDeviceSettings l2 = Kvt27();
    l2.DeviceModel = ModelKVT27L;
    l2.CalOut0mA = 50;
    l2.CalOut20mA = 8050;
    TProfile noFilter = drop;
    noFilter.LimitReaction = 0;
    noFilter.FilterType = 0;
    const auto plan = PlanApply(noFilter, l2);
    EXPECT_FALSE(plan[6].Write);
    EXPECT_NE(plan[6].Note.find("no input filter"), std::string::npos);
    noFilter.FilterType = 1;
    EXPECT_EQ(FaultOf([&] { PlanApply(noFilter, l2); }), TConfigFault::Refused);
}

TEST(ConfigRules, WordValues)
{
    const TDeviceSettings s = Kvt27(0);
    std::string why;
    EXPECT_EQ(CheckWordValue(WordInputMode, 6, s, why), TValueCheck::Ok);
    EXPECT_EQ(CheckWordValue(WordInputMode, 2, s, why), TValueCheck::BadValue);
    EXPECT_EQ(CheckWordValue(WordOutputMode, 5, s, why), TValueCheck::BadValue);
    EXPECT_EQ(CheckWordValue(WordFilterType, 3, s, why), TValueCheck::BadValue);
    EXPECT_EQ(CheckWordValue(WordLimitReaction, 3, s, why), TValueCheck::Ok);
    EXPECT_EQ(CheckWordValue(WordOutEnd, 16383, s, why), TValueCheck::Ok);
    EXPECT_EQ(CheckWordValue(WordOutEnd, 16384, s, why), TValueCheck::BadValue);
    EXPECT_EQ(CheckWordValue(WordCalIn0mA, 1, s, why), TValueCheck::BadValue);
    EXPECT_NE(why.find("never written"), std::string::npos);

    TDeviceSettings l = s;
    l.DeviceModel = ModelKVT27L;
    EXPECT_EQ(CheckWordValue(WordOutZero, 8192, l, why), TValueCheck::BadValue);
    EXPECT_EQ(CheckWordValue(WordInputMode, 5, l, why), TValueCheck::Refused);
    EXPECT_EQ(CheckWordValue(WordFilterType, 0, l, why), TValueCheck::Refused);
    TDeviceSettings old = s;
    old.FirmwareVersion = 1100000000;
    EXPECT_EQ(CheckWordValue(WordLimitReaction, 0, old, why), TValueCheck::Refused);
    EXPECT_EQ(CheckWordValue(WordLimitReaction, 3, Kvt27(15), why), TValueCheck::Refused);

    EXPECT_EQ(EffectiveOutputMode(Kvt27(2)), 4);
    EXPECT_EQ(EffectiveOutputMode(Kvt27(6)), 3);
    EXPECT_EQ(ConfigTypeDescription(12), MsgBadConfigText);
}
