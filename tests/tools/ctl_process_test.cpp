// The kvt27ctl and kvt27-sim programs as a user runs them: exit statuses, what goes to stdout and
// stderr, and a simulator's port coming and going in the port list.
#include "tools/ctl/ctl_status.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace kvt::ctl;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Environment of this process with Extra set on top.
std::vector<std::string> Environment(const std::vector<std::string>& Extra)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string s = *e;
        bool replaced = false;
        for (const std::string& x : Extra)
            replaced = replaced || s.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
        if (!replaced)
            env.push_back(s);
    }
    env.insert(env.end(), Extra.begin(), Extra.end());
    return env;
}

class TChild {
public:
    TChild(const std::vector<std::string>& Argv, const std::vector<std::string>& Extra)
    {
        int out[2], err[2];
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        std::vector<char*> args;
        for (const std::string& a : Argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const std::vector<std::string> envText = Environment(Extra);
        std::vector<char*> env;
        for (const std::string& e : envText)
            env.push_back(const_cast<char*>(e.c_str()));
        env.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&FPid, args[0], &actions, nullptr, args.data(), env.data()), 0) << Argv[0];
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        FOut = out[0];
        FErr = err[0];
    }
    ~TChild()
    {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
        ::close(FOut);
        ::close(FErr);
    }

    pid_t Pid() const { return FPid; }

    // One line of stdout, waiting at most Timeout.
    std::string ReadLine(std::chrono::milliseconds Timeout)
    {
        const auto end = Clock::now() + Timeout;
        while (FOutText.find('\n') == std::string::npos && Clock::now() < end)
            Pump(50);
        const auto nl = FOutText.find('\n');
        if (nl == std::string::npos)
            return {};
        std::string line = FOutText.substr(0, nl);
        FOutText.erase(0, nl + 1);
        return line;
    }

    // Collects everything and the exit status.
    TRun Wait(std::chrono::milliseconds Timeout = 60s)
    {
        TRun r;
        const auto end = Clock::now() + Timeout;
        int status = 0;
        while (Clock::now() < end) {
            Pump(20);
            const pid_t done = ::waitpid(FPid, &status, WNOHANG);
            if (done == FPid) {
                FPid = -1;
                break;
            }
        }
        while (Pump(0)) {
        }
        EXPECT_EQ(FPid, -1) << "the program did not end in time";
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.Out = FOutText;
        r.Err = FErrText;
        return r;
    }

private:
    bool Pump(int Ms)
    {
        pollfd p[2] = {{FOut, POLLIN, 0}, {FErr, POLLIN, 0}};
        if (::poll(p, 2, Ms) <= 0)
            return false;
        bool any = false;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (p[i].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
                if (n > 0) {
                    (i == 0 ? FOutText : FErrText).append(buf, static_cast<size_t>(n));
                    any = true;
                }
            }
        }
        return any;
    }

    pid_t FPid = -1;
    int FOut = -1;
    int FErr = -1;
    std::string FOutText, FErrText;
};

TRun Ctl(const std::vector<std::string>& Args, const std::vector<std::string>& Env = {})
{
    std::vector<std::string> argv = {KVT27CTL_PROGRAM};
    argv.insert(argv.end(), Args.begin(), Args.end());
    TChild child(argv, Env);
    return child.Wait();
}

class CtlProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/kvt-ctlproc-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Runtime = dir;
        Env = {"XDG_RUNTIME_DIR=" + Runtime, "LC_ALL=C"};
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

TEST_F(CtlProcess, ARecordingStopsCleanlyOnCtrlC)
{
    kvt::sim::TSimulator sim;
    sim.Start();
    const std::string csv = Runtime + "/rec.csv";
    TChild child({KVT27CTL_PROGRAM, "measure", "--port", sim.DevicePath(), "--count", "1000", "--period", "0.1",
                     "--csv", csv},
        Env);
    // Two samples in, then Ctrl-C.
    EXPECT_EQ(child.ReadLine(30s), "12000 uA");
    EXPECT_EQ(child.ReadLine(30s), "12000 uA");
    ::kill(child.Pid(), SIGINT);
    const TRun r = child.Wait();
    EXPECT_EQ(r.Status, ExitInterrupted);
    EXPECT_NE(r.Err.find("stopped after"), std::string::npos) << r.Err;
    FILE* f = std::fopen(csv.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char head[16] = {};
    ASSERT_EQ(std::fread(head, 1, 10, f), 10u);
    std::fclose(f);
    EXPECT_STREQ(head, "0.1 sec;\r\n");
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
