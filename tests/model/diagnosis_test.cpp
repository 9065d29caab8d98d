// Why a port does not work, read from a system of the test's own: a tree in /tmp for /sys, /dev
// and /proc, and simulators on pseudo-terminals.
#include "model/diagnosis.h"

#include "tests/serial/fake_tree.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kvt;

namespace {

TDiagnoseSetup ViewOf(const kvt::test::TFakeTree& T)
{
    TDiagnoseSetup s;
    s.Find.System.SysRoot = T.Sys();
    s.Find.System.DevRoot = T.Dev();
    s.Find.System.ProcRoot = T.Proc();
    s.Find.System.SimRegistryDir = T.Root + "/reg";
    return s;
}

const TCheck& Check(const std::vector<TCheck>& Checks, TCheckKind Kind)
{
    for (const TCheck& c : Checks)
        if (c.Kind == Kind)
            return c;
    throw std::logic_error("no such check");
}

} // namespace

TEST(Diagnosis, AVanishedAdapterWithBrlttyRunningAndAHeldPortAreNamed)
{
    kvt::test::TFakeTree T;
    T.File("proc/812/comm", "brltty\n");
    T.File("proc/813/comm", "ModemManager\n");
    std::vector<TCheck> checks = DiagnosePort("ttyUSB0", ViewOf(T));
    ASSERT_EQ(checks.size(), 6u);
    EXPECT_EQ(Check(checks, TCheckKind::Present).Verdict, TCheckVerdict::Problem);
    EXPECT_EQ(Check(checks, TCheckKind::Brltty).Verdict, TCheckVerdict::Problem);
    EXPECT_EQ(Check(checks, TCheckKind::Brltty).Pids, std::vector<long>{812});
    EXPECT_EQ(Check(checks, TCheckKind::ModemManager).Verdict, TCheckVerdict::Warning);
    EXPECT_EQ(Check(checks, TCheckKind::Reply).Verdict, TCheckVerdict::Skipped);

    // Plugged in, and held by another program: named with its process id, and not asked.
    T.UsbAdapter("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A10K3X");
    T.Remove("proc/812");
    T.File("proc/4242/comm", "minicom\n");
    T.Link("proc/4242/fd/3", T.Dev() + "/ttyUSB0");
    T.Link("proc/4243/fd/3", T.Dev() + "/ttyUSB1");
    checks = DiagnosePort("ttyUSB0", ViewOf(T));
    EXPECT_EQ(Check(checks, TCheckKind::Present).Verdict, TCheckVerdict::Ok);
    EXPECT_EQ(Check(checks, TCheckKind::Brltty).Verdict, TCheckVerdict::Ok);
    const TCheck& held = Check(checks, TCheckKind::Holders);
    EXPECT_EQ(held.Verdict, TCheckVerdict::Problem);
    EXPECT_EQ(held.Holders, (std::vector<TPortHolder>{{4242, "minicom"}}));
    EXPECT_EQ(Check(checks, TCheckKind::Reply).Verdict, TCheckVerdict::Skipped);

    // A port this user may not open names its group (root may open anything).
    if (::geteuid() != 0) {
        T.Remove("proc/4242");
        ::chmod((T.Dev() + "/ttyUSB0").c_str(), 0);
        const TCheck access = Check(DiagnosePort("ttyUSB0", ViewOf(T)), TCheckKind::Access);
        EXPECT_EQ(access.Verdict, TCheckVerdict::Problem);
        EXPECT_EQ(access.Group, "dialout");
    }
}

TEST(Diagnosis, ASilentConverterGetsTheHelpsAdviceAndALiveOneIsNamed)
{
    kvt::test::TFakeTree T;
    sim::TSimulator sim;
    sim::TFaults mute;
    mute.Mute = true;
    sim.SetFaults(mute);
    sim.Start();
    TCheck reply = Check(DiagnosePort(sim.DevicePath(), ViewOf(T)), TCheckKind::Reply);
    EXPECT_EQ(reply.Verdict, TCheckVerdict::Problem);
    EXPECT_NE(reply.Detail.find("no reply within 800 ms: check that the converter is powered, that the cable is in the "
                                "converter's PC socket, and the DIP switches"), std::string::npos) << reply.Detail;
    sim.SetFaults({});
    reply = Check(DiagnosePort(sim.DevicePath(), ViewOf(T)), TCheckKind::Reply);
    EXPECT_EQ(reply.Verdict, TCheckVerdict::Ok);
    EXPECT_EQ(reply.Detail, "KVT27, firmware 1.200/160822");
}
