// The simulator on its pseudo-terminal, driven from a plain file descriptor as any client would.
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "tests/platform/closed_streams.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

#include <mutex>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace kvt;
using namespace kvt::sim;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

class TRawClient {
public:
    explicit TRawClient(const std::string& Path) { FFd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK); }
    ~TRawClient() { Close(); }
    bool Ok() const { return FFd >= 0; }
    void Close()
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }
    void Write(const std::string& Data) { ASSERT_EQ(::write(FFd, Data.data(), Data.size()), ssize_t(Data.size())); }
    void Write(const TFrame& F) { Write(FrameToString(F)); }
    // Reads until Count bytes came or TimeoutMs passed.
    std::string Read(std::size_t Count, int TimeoutMs)
    {
        std::string got;
        const auto end = Clock::now() + std::chrono::milliseconds(TimeoutMs);
        while (got.size() < Count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0)
                break;
            pollfd p{FFd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            char buf[64];
            const ssize_t n = ::read(FFd, buf, std::min(sizeof buf, Count - got.size()));
            if (n <= 0) {
                FHungUp = true;
                break;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }
    std::string Ask(const TFrame& F, int TimeoutMs = 2000)
    {
        Write(F);
        return Read(FrameSize, TimeoutMs);
    }
    bool HungUp() const { return FHungUp; }
    int Fd() const { return FFd; }

private:
    int FFd = -1;
    bool FHungUp = false;
};

const TFrame Identify = BuildSendFrame(CmdIdentify, 17, 0);
const std::string IdentifyReply = FrameToString(BuildFrame(CmdIdentify, 0, 0, 17, 10));

int MsSince(Clock::time_point t)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Frames are listed as they arrive, before any reply delay.
bool WaitReceived(const TSimulator& Sim, std::size_t Count)
{
    const auto start = Clock::now();
    while (Sim.Received().size() < Count) {
        if (MsSince(start) > 5000)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

} // namespace

TEST(SimLine, RawLineAndReopening)
{
    TSimulator sim;
    sim.Start();
    ASSERT_FALSE(sim.DevicePath().empty());
    for (int i = 0; i < 25; ++i) {
        TRawClient c(sim.DevicePath());
        ASSERT_TRUE(c.Ok()) << "open " << i;
        // The line is raw even for a client that changes nothing: no echo, CR, LF, XON and
        // XOFF pass unchanged.
        termios t{};
        ASSERT_EQ(tcgetattr(c.Fd(), &t), 0);
        EXPECT_EQ(t.c_lflag & (ECHO | ICANON), 0u);
        const TFrame write = BuildSendEEFrame(CmdWriteWord, 0x0D, 0x0A, 0x1113);
        EXPECT_EQ(c.Ask(write), FrameToString(BuildFrame(CmdWriteWord, 0, 0x0A, 0x11, 0x13))) << "cycle " << i;
        if (i % 5 == 0)
            continue;  // closes with nothing more, as after a failed connect
        EXPECT_EQ(c.Ask(Identify), IdentifyReply);
    }
    EXPECT_EQ(sim.Word(0x0A), 0x1113);
    EXPECT_EQ(sim.Counters().Frames, 45u);
    sim.Stop();
    EXPECT_TRUE(sim.DevicePath().empty());
}

TEST(SimLine, TheLineTakesNoStandardStream)
{
    TSimulator Sim;
    bool Taken = false;
    {
        TWithoutStandardStreams Closed;
        Sim.Start();
        for (int Fd = 0; Fd <= 2; ++Fd)
            Taken = Taken || !TWithoutStandardStreams::Closed(Fd);
    }
    EXPECT_FALSE(Taken);
    TRawClient Client(Sim.DevicePath());
    ASSERT_TRUE(Client.Ok());
    EXPECT_EQ(Client.Ask(Identify), IdentifyReply);
}

TEST(SimLine, RequestsInPiecesAndGarbage)
{
    TSimulator sim;
    sim.Start();
    TRawClient c(sim.DevicePath());
    const std::string frame = FrameToString(Identify);
    c.Write(frame.substr(0, 2));
    std::this_thread::sleep_for(150ms);
    c.Write(frame.substr(2, 3));
    std::this_thread::sleep_for(150ms);
    c.Write(frame.substr(5));
    EXPECT_EQ(c.Read(7, 2000), IdentifyReply);

    // Garbage before a frame, and a corrupted frame: only the good frame is answered.
    TFrame bad = BuildSendFrame(CmdReadConfig, 17, 0);
    bad[5] ^= 0x10;
    c.Write(std::string("\x00\x55\xAA", 3) + FrameToString(bad) + FrameToString(BuildSendFrame(CmdReadConfig, 17, 0)));
    const std::string r = c.Read(7, 2000);
    EXPECT_TRUE(ReplyValid(r, CmdReadConfig));
    EXPECT_EQ(ReplyWord(r), 15);
    EXPECT_EQ(c.Read(1, 200), "");
    EXPECT_EQ(sim.Counters().SkippedBytes, 10u);
    EXPECT_EQ(sim.Received().size(), 2u);
}

TEST(SimLine, UnansweredFramesAndScopedFaults)
{
    TSimulator sim;
    sim.SetFaults({.NoReplyToFrame = 2});
    sim.Start();
    TRawClient c(sim.DevicePath());
    EXPECT_EQ(c.Ask(Identify), IdentifyReply);
    EXPECT_EQ(c.Ask(Identify, 300), "");
    EXPECT_EQ(c.Ask(Identify), IdentifyReply);

    // Faults limited to one command leave the others alone.
    sim.SetFaults({.NoReplyToWord = 10, .OnlyCommand = CmdMeasure, .BadCrc = true});
    EXPECT_EQ(c.Ask(BuildSendFrame(CmdReadWord, 17, 10), 300), "");
    EXPECT_TRUE(ReplyValid(c.Ask(BuildSendFrame(CmdReadWord, 17, 12)), CmdReadWord));
    const std::string m = c.Ask(BuildSendFrame(CmdMeasure, 17, 2));
    EXPECT_EQ(m.size(), 7u);
    EXPECT_FALSE(ReplyValid(m, CmdMeasure));
    EXPECT_EQ(sim.Counters().Unanswered, 2u);
}

TEST(SimLine, LineSpeedAndSplitReplies)
{
    TSimulator sim;
    sim.SetFaults({.LineBaud = 4800});
    sim.Start();
    TRawClient c(sim.DevicePath());
    auto start = Clock::now();
    EXPECT_EQ(c.Ask(Identify), IdentifyReply);
    // 14 bytes at about 2.08 ms each.
    EXPECT_GE(MsSince(start), 28);

    sim.SetFaults({.SplitAt = 2, .SplitPauseMs = 300});
    start = Clock::now();
    c.Write(Identify);
    const std::string first = c.Read(7, 150);
    EXPECT_LE(first.size(), 2u);
    const std::string all = first + c.Read(7 - first.size(), 2000);
    EXPECT_EQ(all, IdentifyReply);
    EXPECT_GE(MsSince(start), 300);
}

TEST(SimLine, HangUp)
{
    TSimulator sim;
    sim.SetFaults({.HangUpAfterFrames = 2});
    sim.Start();
    TRawClient c(sim.DevicePath());
    EXPECT_EQ(c.Ask(Identify), IdentifyReply);
    EXPECT_EQ(c.Ask(Identify), IdentifyReply);
    EXPECT_FALSE(sim.HungUp());
    // The third frame is not answered: the client waiting for its reply sees the hang-up.
    c.Write(Identify);
    ASSERT_TRUE(sim.WaitForFrames(3, 5s));
    EXPECT_TRUE(sim.HungUp());
    EXPECT_FALSE(sim.Running());
    pollfd p{c.Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    EXPECT_NE(p.revents & (POLLHUP | POLLERR), 0);
    c.Read(1, 100);
    EXPECT_TRUE(c.HungUp());

    // On demand, also while a reply is being delayed.
    TSimulator other;
    other.SetFaults({.ReplyDelayMs = 60000});
    other.Start();
    TRawClient d(other.DevicePath());
    d.Write(Identify);
    ASSERT_TRUE(WaitReceived(other, 1));
    const auto t = Clock::now();
    other.HangUp();
    EXPECT_LT(MsSince(t), 5000);
    EXPECT_TRUE(other.HungUp());
    d.Read(1, 500);
    EXPECT_TRUE(d.HungUp());
}

TEST(SimLine, StopsPromptlyAndTraces)
{
    std::vector<std::string> lines;
    std::mutex m;
    TSimulator sim;
    sim.SetTrace([&](const std::string& l) {
        std::lock_guard lock(m);
        lines.push_back(l);
    });
    sim.Start();
    TRawClient c(sim.DevicePath());
    EXPECT_EQ(c.Ask(Identify), IdentifyReply);
    c.Write(BuildSendFrame(CmdOutputDrive, 17, 8191));
    ASSERT_TRUE(sim.WaitForFrames(2, 5s));
    EXPECT_EQ(sim.Output().Code, 8191u);

    TFrame bad = BuildSendFrame(CmdReadWord, 17, 4);
    bad[6] ^= 0x01;
    c.Write(bad);
    sim.SetFaults({.ReplyDelayMs = 60000});
    c.Write(Identify);
    ASSERT_TRUE(WaitReceived(sim, 3));
    const auto t = Clock::now();
    sim.Stop();
    EXPECT_LT(MsSince(t), 5000);
    sim.SetTrace({});

    std::lock_guard lock(m);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_NE(lines[0].find("rx FF 11 00 00 00 EE D7  identify, station 17, crc ok"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("tx FF 00 00 11 0A 67 BC  identify reply: station echo 17, model 10 (KVT27), crc ok"),
        std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("output drive code 8191"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("(no reply)"), std::string::npos) << lines[3];
    ASSERT_GE(lines.size(), 6u);
    EXPECT_NE(lines[4].find("rx 19 11 00 00 04 E6 C3  read word 4 (InputMode), station 17, crc BAD, ignored"),
        std::string::npos) << lines[4];
    EXPECT_NE(lines[5].find("rx FF 11 00 00 00 EE D7  identify"), std::string::npos) << lines[5];
}

TEST(SimProgram, PrintsDeviceAndEndsOnSignal)
{
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        execl(KVT27_SIM_PROGRAM, "kvt27-sim", "--model", "KVT27L", "--word", "InputMode=6", nullptr);
        _exit(127);
    }
    ::close(out[1]);
    std::string line;
    char ch;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 10000) == 1 && ::read(out[0], &ch, 1) == 1)
        line += ch;
    ::close(out[0]);
    ASSERT_FALSE(line.empty());
    line.pop_back();
    EXPECT_EQ(line.rfind("/dev/", 0), 0u) << line;
    {
        TRawClient c(line);
        ASSERT_TRUE(c.Ok());
        const std::string r = c.Ask(Identify);
        EXPECT_EQ(static_cast<uint8_t>(r[4]), 12);
        EXPECT_EQ(ReplyWord(c.Ask(BuildSendFrame(CmdReadWord, 17, 4))), 6);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
