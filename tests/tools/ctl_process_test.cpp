// The kvt27ctl and kvt27-sim programs as a user runs them: exit statuses, what goes to stdout and
// stderr, and a simulator's port coming and going in the port list.
#include "process_support.h"
#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "protocol/frame.h"
#include "tools/ctl/ctl_status.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kvt::ctl;
using namespace std::chrono_literals;

namespace {

TRun Ctl(const std::vector<std::string>& Args, const std::vector<std::string>& Env = {})
{
    std::vector<std::string> argv = {KVT27CTL_PROGRAM};
    argv.insert(argv.end(), Args.begin(), Args.end());
    return RunProgram(argv, Env);
}

class CtlProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/kvt-ctlproc-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Runtime = dir;
        Env = {"XDG_RUNTIME_DIR=" + Runtime, "LC_ALL=C",
               "KVT27_HISTORY_DIR=" + Runtime + "/history"};
    }
    void TearDown() override { std::system(("rm -rf '" + Runtime + "'").c_str()); }

    std::string Runtime;
    std::vector<std::string> Env;
};

} // namespace

TEST_F(CtlProcess, ExitStatusesAndStreams)
{
    kvt::sim::TSimulator sim;
    sim.Start();

    TRun r = Ctl({"info", "--port", sim.DevicePath()}, Env);
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Out.find("firmware       1.200/160822"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Err, "");

    r = Ctl({"write", "--port", sim.DevicePath(), "LimitReaction", "7"}, Env);
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_EQ(r.Out, "");
    EXPECT_NE(r.Err.find("kvt27ctl: LimitReaction 7 is out of range"), std::string::npos) << r.Err;

    r = Ctl({"read", "--port", Runtime + "/nothing"}, Env);
    EXPECT_EQ(r.Status, ExitPortOpen);
    EXPECT_NE(r.Err.find("cannot open port"), std::string::npos) << r.Err;

    kvt::sim::TFaults mute;
    mute.Mute = true;
    sim.SetFaults(mute);
    r = Ctl({"measure", "--port", sim.DevicePath()}, Env);
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_EQ(r.Out, "");
    EXPECT_NE(r.Err.find("failed: no reply to identify"), std::string::npos) << r.Err;

    r = Ctl({"--help"}, Env);
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_NE(r.Out.find("  3    the port cannot be opened"), std::string::npos);
    EXPECT_EQ(Ctl({"bogus"}, Env).Status, ExitUsage);
}

TEST_F(CtlProcess, ARecordingKeepsItsSamplesWhateverStopsIt)
{
    kvt::sim::TSimulator sim;
    sim.Start();
    const std::string csv = Runtime + "/rec.csv";
    // Two samples in, then a signal, or the reader of stdout goes away.
    struct TCase {
        int Signal; // 0: stdout closed
        int Status;
        const char* Why;
    };
    for (const TCase& c : {TCase{SIGINT, 130, "stopped by Ctrl-C (SIGINT)"}, TCase{SIGTERM, 143, "stopped by SIGTERM"},
                           TCase{SIGHUP, 129, "stopped by SIGHUP"},
                           TCase{0, ExitFailure, "cannot write the results to standard output: Broken pipe"}}) {
        SCOPED_TRACE(c.Why);
        std::remove(csv.c_str());
        TChild child({KVT27CTL_PROGRAM, "measure", "--port", sim.DevicePath(), "--count", "1000", "--period", "0.1",
                         "--csv", csv},
            Env);
        EXPECT_EQ(child.ReadLine(30s), "12000 uA");
        EXPECT_EQ(child.ReadLine(30s), "12000 uA");
        if (c.Signal != 0)
            ::kill(child.Pid(), c.Signal);
        else
            child.CloseOut();
        const TRun r = child.Wait();
        EXPECT_EQ(r.Status, c.Status);
        EXPECT_NE(r.Err.find(c.Why), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find("samples taken are in " + csv), std::string::npos) << r.Err;
        FILE* f = std::fopen(csv.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char head[32] = {};
        ASSERT_GE(std::fread(head, 1, 26, f), 26u);
        std::fclose(f);
        EXPECT_STREQ(head, "0.1 sec;\r\n12000;\r\n12000;\r\n");
    }

    // Results that cannot be written are a failure with a message, whatever the command.
    for (const char* args : {"info", "read --json", "measure", "save -"}) {
        const TRun r = RunProgram({"/bin/sh", "-c",
            std::string(KVT27CTL_PROGRAM) + " " + args + " --port " + sim.DevicePath() + " > /dev/full"}, Env);
        EXPECT_EQ(r.Status, ExitFailure) << args;
        EXPECT_NE(r.Err.find("cannot write the results to standard output: No space left on device"),
                  std::string::npos) << args << ": " << r.Err;
    }
}

TEST_F(CtlProcess, ARunningSimulatorIsInThePortListUntilItStops)
{
    TChild sim({KVT27_SIM_PROGRAM}, Env);
    const std::string device = sim.ReadLine(30s);
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;

    TRun r = Ctl({"ports"}, Env);
    EXPECT_EQ(r.Status, ExitOk);
    // After the system's own ports.
    ASSERT_GE(r.Out.size(), device.size() + 1);
    EXPECT_EQ(r.Out.substr(r.Out.size() - device.size() - 1), device + "\n") << r.Out;
    EXPECT_EQ(Ctl({"info", "--port", device}, Env).Status, ExitOk);

    ::kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.Wait().Status, 0);
    r = Ctl({"ports"}, Env);
    EXPECT_EQ(r.Out.find(device), std::string::npos) << r.Out;

    // A simulator that is killed cannot remove its entry: the list skips it and clears it away.
    TChild killed({KVT27_SIM_PROGRAM}, Env);
    const std::string second = killed.ReadLine(30s);
    ASSERT_FALSE(second.empty());
    ::kill(killed.Pid(), SIGKILL);
    killed.Wait();
    const std::string folder = Runtime + "/kvt27-sim";
    EXPECT_EQ(std::system(("test -n \"$(ls " + folder + ")\"").c_str()), 0);
    r = Ctl({"ports"}, Env);
    EXPECT_EQ(r.Out.find(second), std::string::npos) << r.Out;
    EXPECT_EQ(std::system(("test -z \"$(ls " + folder + ")\"").c_str()), 0);

    // --no-register keeps a simulator out of the list.
    TChild hidden({KVT27_SIM_PROGRAM, "--no-register"}, Env);
    const std::string third = hidden.ReadLine(30s);
    ASSERT_FALSE(third.empty());
    EXPECT_EQ(Ctl({"ports"}, Env).Out.find(third), std::string::npos);
}

TEST_F(CtlProcess, AClosedStandardStreamNeverLeadsToTheLine)
{
    kvt::sim::TSimulator sim;
    sim.Start();
    const uint16_t inZero = sim.Word(kvt::WordInZero);
    // A port name holding a whole frame that writes InZero: results sent down the line would carry it.
    kvt::TFrame write{};
    for (int station = 1; station < 256; ++station) {
        write = kvt::BuildSendEEFrame(kvt::CmdWriteWord, static_cast<uint8_t>(station), kvt::WordInZero, 19000);
        if (std::none_of(write.begin(), write.end(), [](uint8_t B) { return B == 0 || B == '/'; }))
            break;
    }
    const std::string port = Runtime + "/" + kvt::FrameToString(write);
    ASSERT_EQ(::symlink(sim.DevicePath().c_str(), port.c_str()), 0);

    // No standard output: nothing to show the results on, so nothing is done.
    TRun r = RunProgram({KVT27CTL_PROGRAM, "info", "--port", port}, Env, {1});
    EXPECT_EQ(r.Status, ExitFailure);
    EXPECT_EQ(r.Err, "kvt27ctl: standard output is closed: the results could not be written; nothing was done\n");
    EXPECT_EQ(sim.Counters().BytesIn, 0u);
    // No standard error: the trace goes nowhere, the line carries the command's frames alone.
    r = RunProgram({KVT27CTL_PROGRAM, "info", "--trace", "--port", port}, Env, {2});
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_NE(r.Out.find("firmware       1.200/160822"), std::string::npos) << r.Out;
    const kvt::sim::TCounters counters = sim.Counters();
    EXPECT_GT(counters.Frames, 0u);
    EXPECT_EQ(counters.BytesIn, counters.Frames * kvt::FrameSize);
    EXPECT_EQ(sim.Word(kvt::WordInZero), inZero);

    // kvt27-sim without a standard output has nowhere to write its device; without a standard
    // error its trace goes nowhere, not into its line.
    TChild blind({KVT27_SIM_PROGRAM}, Env, {1});
    r = blind.Wait(10s);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "kvt27-sim: standard output is closed: the device could not be written\n");
    TChild traced({KVT27_SIM_PROGRAM, "--trace"}, Env, {2});
    const std::string device = traced.ReadLine(30s);
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    r = Ctl({"read", "--port", device, "--json"}, Env);
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Out.find("\"InZero\":"), std::string::npos) << r.Out;
    ::kill(traced.Pid(), SIGTERM);
    EXPECT_EQ(traced.Wait().Status, 0);
}
