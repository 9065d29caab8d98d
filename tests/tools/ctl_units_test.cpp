// The pure parts behind kvt27ctl: the configuration file, the plan that puts it onto a converter,
// the word rules (with the exit statuses kvt27ctl gives their faults), the port helpers, and the
// simulators' port registry.
#include "protocol/device_settings.h"
#include "signal/config_file.h"
#include "signal/config_rules.h"
#include "tools/ctl/ctl_status.h"
#include "serial/port_access.h"
#include "serial/portlist.h"
#include "serial/simregistry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kvt;
using namespace kvt::ctl;

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

int StatusOf(const std::function<void()>& F, std::string* Message = nullptr)
{
    try {
        F();
    } catch (const EConfigError& e) {
        if (Message)
            *Message = e.what();
        return e.Fault == TConfigFault::Refused ? ExitRefused
            : e.Fault == TConfigFault::CannotWrite ? ExitFailure
                                                    : ExitUsage;
    }
    return ExitOk;
}

int Check(uint8_t Address, long long Value, const TDeviceSettings& Settings, std::string& Why)
{
    const TValueCheck c = CheckWordValue(Address, Value, Settings, Why);
    return c == TValueCheck::vcOk ? ExitOk : c == TValueCheck::vcRefused ? ExitRefused : ExitUsage;
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

TEST(CtlProfile, ParsesAGoodFile)
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

TEST(CtlProfile, RefusesWhatDoesNotParseWithTheLine)
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
        EXPECT_EQ(StatusOf([&] { ParseProfile(text, "f"); }, &message), ExitUsage) << expected;
        EXPECT_NE(message.find(expected), std::string::npos) << message;
    }
}

TEST(CtlProfile, MillivoltAndResistanceKeepTheirFieldPrecision)
{
    std::string mv = Replace(Replace(Replace(GoodFile, "input = current", "input = millivolt"), "4.000 mA", "-585"), "20 mA", "123.4 mV");
    const TProfile p = ParseProfile(mv, "f");
    EXPECT_EQ(p.InBegin, "-585");
    std::string message;
    EXPECT_EQ(StatusOf([&] { ParseProfile(Replace(mv, "123.4 mV", "123.45 mV"), "f"); }, &message), ExitUsage);
    EXPECT_NE(message.find("at most 1 decimals"), std::string::npos);
    const std::string pct = Replace(Replace(Replace(GoodFile, "input = current", "input = resistance"), "4.000 mA", "25.5 %"), "20 mA", "100");
    EXPECT_EQ(ParseProfile(pct, "f").InBegin, "25.5");
}

TEST(CtlProfile, SavedFromSettingsAsTheNumericFieldsShowThem)
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
    EXPECT_EQ(StatusOf([&] { ProfileFromSettings(bad); }), ExitRefused);
    bad = Kvt27();
    bad.InputMode = 9;
    EXPECT_EQ(StatusOf([&] { ProfileFromSettings(bad); }), ExitRefused);
}

TEST(CtlProfile, PlanUsesTheTargetsCalibration)
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

TEST(CtlProfile, PlanRefusesWhatTheTargetCannotTake)
{
    const TProfile p = ParseProfile(GoodFile, "f");
    std::string message;

    // DIP configuration 3 is current to current; the file wants a voltage output.
    EXPECT_EQ(StatusOf([&] { PlanApply(p, Kvt27(3)); }, &message), ExitRefused);
    EXPECT_NE(message.find("DIP switches"), std::string::npos);
    // 10 V needs a code above a KVT27L's 8191 with this calibration.
    TDeviceSettings l = Kvt27();
    l.DeviceModel = ModelKVT27L;
    EXPECT_EQ(StatusOf([&] { PlanApply(p, l); }, &message), ExitRefused);
    EXPECT_NE(message.find("8191"), std::string::npos) << message;
    // A calibration that puts the input word outside 16 bits.
    TProfile minus = p;
    minus.InBegin = "-20";
    TDeviceSettings wide = Kvt27();
    wide.CalIn0mA = 1000;
    wide.CalIn20mA = 41000;
    EXPECT_EQ(StatusOf([&] { PlanApply(minus, wide); }, &message), ExitRefused);
    EXPECT_NE(message.find("input-begin -20 mA does not fit"), std::string::npos) << message;
    // The 3.5 mA reaction only in configuration 0; a filter on a KVT27L is refused, filter 0 skipped.
    TProfile drop = p;
    drop.OutputMode = 3;
    drop.LimitReaction = 3;
    EXPECT_EQ(StatusOf([&] { PlanApply(drop, Kvt27()); }, &message), ExitRefused);
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
    EXPECT_EQ(StatusOf([&] { PlanApply(noFilter, l2); }), ExitRefused);
}

TEST(CtlRules, WordValues)
{
    const TDeviceSettings s = Kvt27(0);
    std::string why;
    EXPECT_EQ(Check(WordInputMode, 6, s, why), ExitOk);
    EXPECT_EQ(Check(WordInputMode, 2, s, why), ExitUsage);
    EXPECT_EQ(Check(WordOutputMode, 5, s, why), ExitUsage);
    EXPECT_EQ(Check(WordFilterType, 3, s, why), ExitUsage);
    EXPECT_EQ(Check(WordLimitReaction, 3, s, why), ExitOk);
    EXPECT_EQ(Check(WordOutEnd, 16383, s, why), ExitOk);
    EXPECT_EQ(Check(WordOutEnd, 16384, s, why), ExitUsage);
    EXPECT_EQ(Check(WordCalIn0mA, 1, s, why), ExitUsage);
    EXPECT_NE(why.find("never written"), std::string::npos);

    TDeviceSettings l = s;
    l.DeviceModel = ModelKVT27L;
    EXPECT_EQ(Check(WordOutZero, 8192, l, why), ExitUsage);
    EXPECT_EQ(Check(WordInputMode, 5, l, why), ExitRefused);
    EXPECT_EQ(Check(WordFilterType, 0, l, why), ExitRefused);
    TDeviceSettings old = s;
    old.FirmwareVersion = 1100000000;
    EXPECT_EQ(Check(WordLimitReaction, 0, old, why), ExitRefused);
    EXPECT_EQ(Check(WordLimitReaction, 3, Kvt27(15), why), ExitRefused);

    EXPECT_EQ(EffectiveOutputMode(Kvt27(2)), 4);
    EXPECT_EQ(EffectiveOutputMode(Kvt27(6)), 3);
    EXPECT_EQ(ConfigTypeDescription(12), MsgBadConfigText);
}

TEST(PortAccess, NamesAndReasons)
{
    EXPECT_EQ(PortDeviceName(" ttyUSB0 "), "/dev/ttyUSB0");
    EXPECT_EQ(PortDeviceName("/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(PortDeviceName("  "), "");

    const std::string denied = PortOpenFailureDetail(EACCES, "Permission denied", "uucp");
    EXPECT_EQ(denied.rfind("Permission denied.", 0), 0u);
    EXPECT_NE(denied.find("sudo usermod -aG uucp $USER"), std::string::npos);
    EXPECT_NE(denied.find("log in again"), std::string::npos);
    EXPECT_NE(PortOpenFailureDetail(EPERM, "Operation not permitted").find("usermod -aG dialout"), std::string::npos);
    const std::string missing = PortOpenFailureDetail(ENOENT, "No such file or directory");
    EXPECT_EQ(missing.find("usermod"), std::string::npos);
    EXPECT_NE(missing.find("No such file or directory."), std::string::npos);
    EXPECT_EQ(PortOpenFailureDetail(0, "Invalid port"), "Invalid port.");
    EXPECT_EQ(PortAccessGroup("/nonexistent/tty"), "dialout");
}

class SimPortRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[] = "/tmp/kvt-simports-XXXXXX";
        ASSERT_NE(::mkdtemp(base), nullptr);
        FBase = base;
        FDir = FBase + "/reg";
    }
    void TearDown() override { std::system(("rm -rf '" + FBase + "'").c_str()); }

    void WriteEntry(const std::string& Name, const std::string& Text)
    {
        std::ofstream(FDir + "/" + Name) << Text;
    }

    std::string FBase, FDir;
};

TEST_F(SimPortRegistry, ListsLiveEntriesAndDropsStaleOnes)
{
    // A live registration of this process, on a path that exists.
    kvt::TSimPortRegistration live("/dev/null", FDir);
    ASSERT_TRUE(live.Registered()) << live.Error();
    struct stat st {};
    ASSERT_EQ(::stat(FDir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A simulator that was killed: its pid is gone.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    WriteEntry(std::to_string(child) + "-0.port", "pid=" + std::to_string(child) + "\npath=/dev/null\n");
    // A reused pid: this process, but another start time.
    WriteEntry("reused-0.port", "pid=" + std::to_string(::getpid()) + "\nstart=1\npath=/dev/null\n");
    WriteEntry("garbage.port", "nothing here\n");

    const auto ports = kvt::LiveSimPortsIn(FDir);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].Path, "/dev/null");
    EXPECT_EQ(ports[0].Pid, ::getpid());
    EXPECT_NE(::access((FDir + "/" + std::to_string(child) + "-0.port").c_str(), F_OK), 0);
    EXPECT_NE(::access((FDir + "/reused-0.port").c_str(), F_OK), 0);
    EXPECT_NE(::access((FDir + "/garbage.port").c_str(), F_OK), 0);

    // The program's list: the system's ports, then the simulator, marked as one.
    const auto listed = kvt::ProgramPorts(FDir);
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed.back().Name, "/dev/null");
    EXPECT_TRUE(listed.back().Simulator);
    EXPECT_EQ(kvt::ProgramPortList(FDir).back(), "/dev/null");

    live.Remove();
    EXPECT_TRUE(kvt::LiveSimPortsIn(FDir).empty());
}

TEST_F(SimPortRegistry, AFolderOthersCanWriteIsNotTrusted)
{
    ASSERT_EQ(::mkdir(FDir.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(FDir.c_str(), 0777), 0);
    WriteEntry("1-0.port", "pid=" + std::to_string(::getpid()) + "\npath=/dev/null\n");
    EXPECT_TRUE(kvt::LiveSimPortsIn(FDir).empty());
    kvt::TSimPortRegistration reg("/dev/null", FDir);
    EXPECT_FALSE(reg.Registered());
    EXPECT_FALSE(reg.Error().empty());
}
