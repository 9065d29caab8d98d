// kvt27ctl output, the loop test, as a user runs it: every way the test ends gives the output back,
// and a value that the converter cannot drive costs no drive frame.
#include "process_support.h"
#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "tools/ctl/ctl_status.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace kvt::ctl;
using namespace std::chrono_literals;

namespace {

class LoopProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/kvt-loop-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Runtime = dir;
        Env = {"XDG_RUNTIME_DIR=" + Runtime, "XDG_DATA_HOME=" + Runtime, "LC_ALL=C"};
        Sim.Start();
    }
    void TearDown() override
    {
        Sim.Stop();
        std::system(("rm -rf '" + Runtime + "'").c_str());
    }
    std::vector<std::string> Args(const std::vector<std::string>& More) const
    {
        std::vector<std::string> a = {KVT27CTL_PROGRAM, "output", "--port", Sim.DevicePath()};
        a.insert(a.end(), More.begin(), More.end());
        return a;
    }
    // The output commands the converter received: (command, code); frames that get no reply may
    // still be on the line when the program has ended, so up to Count of them are waited for.
    std::vector<std::pair<int, int>> OutputFrames(size_t Count = 0) const
    {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (OutputFramesNow().size() < Count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(10ms);
        return OutputFramesNow();
    }
    std::vector<std::pair<int, int>> OutputFramesNow() const
    {
        std::vector<std::pair<int, int>> o;
        for (const kvt::TFrame& f : Sim.Received())
            if (f[0] == kvt::CmdOutputDrive || f[0] == kvt::CmdOutputRelease)
                o.emplace_back(f[0], f[3] * 256 + f[4]);
        return o;
    }

    std::string Runtime;
    std::vector<std::string> Env;
    kvt::sim::TSimulator Sim;
};

} // namespace

TEST_F(LoopProcess, EveryWayOutReleasesTheOutput)
{
    // The simulated KVT27: CalOut0mA 100, CalOut20mA 16100, the range 3300 .. 16100 (4 .. 20 mA).
    struct TCase {
        const char* Name;
        int Signal;        // sent once the output is driven; 0: none
        const char* Input; // written to stdin then; nullptr: stdin closed then
        std::vector<std::string> More;
        int Status;
        const char* Told;
    };
    const std::vector<TCase> cases = {
        {"Enter", 0, "\n", {"12mA"}, ExitOk, "released the output (Enter)"},
        {"end of input", 0, nullptr, {"50%"}, ExitOk, "released the output (the end of the input)"},
        {"Ctrl-C", SIGINT, "", {"12mA"}, 130, "stopped by Ctrl-C (SIGINT); the output was released"},
        {"SIGTERM", SIGTERM, "", {"12mA"}, 143, "stopped by SIGTERM; the output was released"},
        {"SIGHUP", SIGHUP, "", {"12mA"}, 129, "stopped by SIGHUP; the output was released"},
        {"hold", 0, "", {"12mA", "--hold", "0.3"}, ExitOk, "released the output (the time is up)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.ClearReceived();
        TChild child(Args(c.More), Env, {}, true);
        EXPECT_EQ(child.ReadLine(30s), "driving 12.000 mA, code 9700, on " + Sim.DevicePath());
        if (c.Signal != 0)
            ::kill(child.Pid(), c.Signal);
        else if (c.Input == nullptr)
            child.CloseIn();
        else
            child.WriteIn(c.Input);
        const TRun r = child.Wait();
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_NE((r.Out + r.Err).find(c.Told), std::string::npos) << r.Out << r.Err;
        EXPECT_EQ(OutputFrames(2), (std::vector<std::pair<int, int>>{{kvt::CmdOutputDrive, 9700}, {kvt::CmdOutputRelease, 0}}));
    }

    // With a time, an input at its end from the start (/dev/null) ends nothing.
    Sim.ClearReceived();
    const auto start = std::chrono::steady_clock::now();
    TRun r = RunProgram(Args({"20mA", "--hold", "0.5"}), Env);
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(OutputFrames(2), (std::vector<std::pair<int, int>>{{kvt::CmdOutputDrive, 16100}, {kvt::CmdOutputRelease, 0}}));

    // A line that is gone cannot take the release: the tool says so.
    Sim.ClearReceived();
    TChild child(Args({"12mA"}), Env, {}, true);
    EXPECT_EQ(child.ReadLine(30s), "driving 12.000 mA, code 9700, on " + Sim.DevicePath());
    Sim.HangUp();
    ::kill(child.Pid(), SIGTERM);
    r = child.Wait();
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_NE(r.Err.find("stopped by SIGTERM; the output could not be released"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("the converter may still drive it"), std::string::npos) << r.Err;
}

TEST_F(LoopProcess, AValueTheConverterCannotDriveIsRefusedWithoutADrive)
{
    // Beyond any converter's output: refused before the port is opened.
    for (const char* value : {"25mA", "11V", "101%", "-1mA", "12", "12 A", "mA"}) {
        SCOPED_TRACE(value);
        const TRun r = RunProgram(Args({value}), Env);
        EXPECT_EQ(r.Status, ExitUsage);
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind(std::string("kvt27ctl: \"") + value + "\" is ", 0), 0u) << r.Err;
    }
    EXPECT_TRUE(Sim.Received().empty());

    // Beyond this KVT27L's codes (13 bits: 21 mA needs more than 8191 with these words).
    Sim.SetModel(kvt::ModelKVT27L);
    Sim.SetWord(kvt::WordCalOut0mA, 400);
    Sim.SetWord(kvt::WordCalOut20mA, 8000);
    TRun r = RunProgram(Args({"21mA"}), Env);
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_NE(r.Err.find("\"21mA\" gives code 8380 on this converter, outside its codes 0..8191; nothing was driven"),
              std::string::npos) << r.Err;
    // A voltage on a current output.
    r = RunProgram(Args({"5V"}), Env);
    EXPECT_EQ(r.Status, ExitRefused);
    EXPECT_TRUE(OutputFrames().empty());
    ASSERT_FALSE(Sim.Received().empty()); // the converter was asked for its calibration
    EXPECT_EQ(RunProgram(Args({"20mA", "--hold", "0"}), Env).Status, ExitUsage);
}
