// kvt27ctl ports, find and --port auto on a system of the test's own: a tree in /tmp for /sys,
// /dev and /proc, and simulators on pseudo-terminals, some of them silent.
#include "platform/simregistry.h"
#include "tests/serial/fake_tree.h"
#include "tools/ctl/ctl.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <sstream>

using namespace kvt;
using namespace kvt::ctl;
using Json = nlohmann::json;

namespace {

struct TRun {
    int Status;
    std::string Out;
    std::string Err;
};

class CtlFind : public ::testing::Test {
protected:
    // Live converters first, then silent ones; each listed as a running simulator.
    void Simulators(int Live, int Mute)
    {
        for (int i = 0; i < Live + Mute; ++i) {
            auto sim = std::make_unique<sim::TSimulator>();
            if (i >= Live) {
                sim::TFaults f;
                f.Mute = true;
                sim->SetFaults(f);
            }
            sim->Start();
            Registrations.push_back(std::make_unique<TSimPortRegistration>(sim->DevicePath(), Tree.Root + "/reg"));
            Sims.push_back(std::move(sim));
        }
    }
    TRun Ctl(const std::vector<std::string>& Args)
    {
        std::ostringstream out, err;
        TCtlContext context{out, err, Tree.Root + "/reg", "."};
        context.System.SysRoot = Tree.Sys();
        context.System.DevRoot = Tree.Dev();
        context.System.ProcRoot = Tree.Proc();
        const int status = RunCtl(Args, context);
        return {status, out.str(), err.str()};
    }

    kvt::test::TFakeTree Tree;
    std::vector<std::unique_ptr<sim::TSimulator>> Sims;
    std::vector<std::unique_ptr<TSimPortRegistration>> Registrations;
};

} // namespace

TEST_F(CtlFind, PortsListsWhatTheSystemKnowsOfEachAdapter)
{
    Tree.UsbAdapter("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A10K3X");
    TRun r = Ctl({"ports"});
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_EQ(r.Out, "ttyUSB0 \u2014 FTDI FT232R USB UART (A10K3X)\n");
    r = Ctl({"ports", "--json"});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    const Json j = Json::parse(r.Out);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["name"], "ttyUSB0");
    EXPECT_EQ(j[0]["description"], "FTDI FT232R USB UART");
    EXPECT_EQ(j[0]["manufacturer"], "FTDI");
    EXPECT_EQ(j[0]["serial_number"], "A10K3X");
    EXPECT_EQ(j[0]["stable_name"], Tree.Dev() + "/serial/by-id/usb-FTDI_FT232R USB UART_A10K3X-if00-port0");
    EXPECT_EQ(j[0]["hardware_id"], "0403:6001");
    EXPECT_EQ(j[0]["driver"], "ftdi_sio");
    EXPECT_EQ(j[0]["simulator"], false);
}

// One converter among silent ports: found, named with its model and firmware, and --port auto
// takes it.
TEST_F(CtlFind, OneLiveConverterAmongSilentPortsIsFoundAndUsedByPortAuto)
{
    Simulators(1, 3);
    TRun r = Ctl({"find", "--json"});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    const Json j = Json::parse(r.Out);
    ASSERT_EQ(j["found"].size(), 1u);
    EXPECT_EQ(j["found"][0]["port"], Sims[0]->DevicePath());
    EXPECT_EQ(j["found"][0]["model"], "KVT27");
    EXPECT_EQ(j["found"][0]["firmware"], Sims[0]->Config().FirmwareVersion);
    ASSERT_EQ(j["ports"].size(), 4u);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_EQ(j["ports"][i]["outcome"], "silent");
    // The search writes nothing and asks nothing after the version.
    for (const auto& s : Sims)
        for (const TFrame& f : s->Received())
            EXPECT_TRUE(f[0] == 255 || f[0] == 254) << int(f[0]);

    r = Ctl({"find"});
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_NE(r.Out.find(Sims[0]->DevicePath() + ": KVT27, firmware "), std::string::npos) << r.Out;

    r = Ctl({"info", "--port", "auto"});
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Out.find(Sims[0]->DevicePath()), std::string::npos) << r.Out;
}

TEST_F(CtlFind, NoConverterListsWhatEachPortGaveAndTwoAreBothListed)
{
    Simulators(0, 2);
    Tree.File("proc/consoles", "ttyS0                -W- (EC p a)    4:64\n");
    Tree.Uart("ttyS0", 4);
    TRun r = Ctl({"find"});
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_TRUE(r.Out.empty());
    EXPECT_NE(r.Err.find("ttyS0: not asked: the system console"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(Sims[1]->DevicePath() + ": no reply to identify"), std::string::npos) << r.Err;
    EXPECT_EQ(Ctl({"read", "--port", "auto"}).Status, ExitNoAnswer);

    Sims.clear();
    Registrations.clear();
    Simulators(2, 0);
    r = Ctl({"find", "--json"});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(Json::parse(r.Out)["found"].size(), 2u);
    r = Ctl({"info", "--port", "auto"});
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_NE(r.Err.find("2 converters answer"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(Sims[1]->DevicePath()), std::string::npos) << r.Err;
}

TEST_F(CtlFind, DoctorPrintsEachCheckWithItsVerdict)
{
    Simulators(1, 0);
    Tree.File("proc/900/comm", "ModemManager\n");
    TRun r = Ctl({"doctor", "--port", Sims[0]->DevicePath()});
    EXPECT_EQ(r.Status, ExitOk) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("modemmanager  warning  ModemManager is running (pid 900)"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("reply         ok       KVT27, firmware 1.200/160822"), std::string::npos) << r.Out;

    r = Ctl({"doctor", "--port", "ttyUSB3", "--json"});
    EXPECT_EQ(r.Status, ExitFailure);
    const Json j = Json::parse(r.Out);
    EXPECT_EQ(j["port"], "ttyUSB3");
    EXPECT_EQ(j["checks"][0]["check"], "present");
    EXPECT_EQ(j["checks"][0]["verdict"], "problem");
    EXPECT_EQ(j["checks"][4]["pids"], Json::array({900}));
    EXPECT_EQ(j["problem"], true);

    // Without a port: the services, then what each port gives to the search.
    r = Ctl({"doctor"});
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_NE(r.Out.find("port " + Sims[0]->DevicePath() + " ok       KVT27"), std::string::npos) << r.Out;
}
