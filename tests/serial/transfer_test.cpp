// Timed reads and writes, the write copy and the transfer log, against a pseudo-terminal.
#include "pty_support.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point Start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count();
}

std::string TimeoutOf(const std::function<void()>& Call)
{
    try {
        Call();
    } catch (const EComError& E) {
        return std::string(E.what()) + "/" + std::to_string(E.ErrorCode());
    }
    return "no error";
}

struct TOpenPort {
    TPty Pty;
    TComPort Port;
    TOpenPort()
    {
        ConfigureLikeTheProgram(Port, Pty.SlavePath());
        Port.Open();
    }
};

} // namespace

TEST(ComPortTransfer, ShortReadRaisesTimeoutAtItsLimitWithTheBytesInFront)
{
    TOpenPort P;
    bool After = false;
    P.Port.SetAfterRead([&](TCustomComPort*, const void*, int32_t, bool) { After = true; });
    P.Pty.Write("\x01\x02\x03\x04\x05");
    char Buffer[7] = {};
    auto Start = Clock::now();
    EXPECT_EQ(TimeoutOf([&] { P.Port.Read(Buffer, 7, true); }), "Timeout/0");
    long long Elapsed = MsSince(Start);
    EXPECT_GE(Elapsed, 800); // 100 ms x 7 + 100 ms
    EXPECT_LT(Elapsed, 3000);
    EXPECT_EQ(std::string(Buffer, 5), "\x01\x02\x03\x04\x05");
    EXPECT_FALSE(After);

    // The next read starts afresh and ends at its last byte.
    P.Pty.Write("ABCDEFG");
    Start = Clock::now();
    P.Port.Read(Buffer, 7, true);
    EXPECT_LT(MsSince(Start), 700);
    EXPECT_EQ(std::string(Buffer, 7), "ABCDEFG");
    EXPECT_TRUE(After);
}

TEST(ComPortTransfer, ReadIntervalEndsAReadAtAGapAndZeroTotalsMeanNoLimit)
{
    TOpenPort P;
    P.Port.Timeouts().SetReadMultiplier(0);
    P.Port.Timeouts().SetReadConstant(0);
    char Buffer[7] = {};

    // No total limit: the read waits for bytes that come late.
    auto Start = Clock::now();
    std::thread Late([&] {
        std::this_thread::sleep_for(300ms);
        P.Pty.Write("1234567");
    });
    P.Port.Read(Buffer, 7, true);
    Late.join();
    EXPECT_GE(MsSince(Start), 300);
    EXPECT_EQ(std::string(Buffer, 7), "1234567");

    P.Port.Timeouts().SetReadInterval(150);
    P.Pty.Write("xy");
    Start = Clock::now();
    EXPECT_EQ(TimeoutOf([&] { P.Port.Read(Buffer, 7, true); }), "Timeout/0");
    EXPECT_GE(MsSince(Start), 150);
    EXPECT_EQ(std::string(Buffer, 2), "xy");
}

TEST(ComPortTransfer, ATimeoutChangedWhileOpenTakesEffectForTheNextRead)
{
    TOpenPort P;
    P.Port.Timeouts().SetReadMultiplier(0);
    char Byte;
    auto Start = Clock::now();
    EXPECT_EQ(TimeoutOf([&] { P.Port.Read(&Byte, 1, true); }), "Timeout/0");
    EXPECT_LT(MsSince(Start), 600);
    P.Port.Timeouts().SetReadConstant(900);
    Start = Clock::now();
    EXPECT_EQ(TimeoutOf([&] { P.Port.Read(&Byte, 1, true); }), "Timeout/0");
    EXPECT_GE(MsSince(Start), 900);
}

TEST(ComPortTransfer, LengthZeroMovesNothingButStillEndsAndChecks)
{
    TOpenPort P;
    std::vector<std::string> Calls;
    auto Note = [&](const char* Name) {
        return [&Calls, Name](TCustomComPort*, const void*, int32_t Length, bool) {
            Calls.push_back(std::string(Name) + std::to_string(Length));
        };
    };
    P.Port.SetBeforeRead(Note("BR"));
    P.Port.SetAfterRead(Note("AR"));
    P.Port.SetBeforeWrite(Note("BW"));
    P.Port.SetAfterWrite(Note("AW"));

    char Buffer[3];
    P.Port.Read(Buffer, 3, false); // started, collected by the next read
    EXPECT_TRUE(P.Port.ReadPending());
    P.Pty.Write("abc");
    P.Port.Read(Buffer, 0, true);
    EXPECT_FALSE(P.Port.ReadPending());
    EXPECT_EQ(std::string(Buffer, 3), "abc");

    P.Port.WriteString("");
    P.Port.Write(Buffer, 0, true);
    P.Port.WaitForWrite();
    EXPECT_EQ(P.Pty.Read(1, 200ms), "");
    EXPECT_EQ(Calls, (std::vector<std::string>{"BR3", "AR3", "BR0", "AR0", "BW0", "AW0", "BW0", "AW0"}));
}

TEST(ComPortTransfer, AReadThatTimedOutBeforeItWasCollectedStillReportsTimeout)
{
    TOpenPort P;
    P.Port.Timeouts().SetReadMultiplier(0);
    char Buffer[7];
    P.Port.Read(Buffer, 7, false);
    P.Pty.Write("12");
    std::this_thread::sleep_for(300ms); // past its 100 ms limit
    EXPECT_FALSE(P.Port.ReadPending());
    EXPECT_EQ(TimeoutOf([&] { P.Port.WaitForRead(); }), "Timeout/0");
    EXPECT_EQ(std::string(Buffer, 2), "12");
    P.Port.WaitForRead(); // collected: nothing left to report
}

TEST(ComPortTransfer, WriteCopyOutlivesTheCallersDataAndNothingIsLost)
{
    TOpenPort P;
    P.Port.Timeouts().SetWriteMultiplier(0);
    P.Port.Timeouts().SetWriteConstant(0);
    std::string Expected;
    for (int i = 0; i < 300000; ++i)
        Expected += static_cast<char>(i * 7 + i / 256);
    {
        // More than the kernel takes at once: the rest goes from the port's copy later.
        auto Data = std::make_unique<std::string>(Expected);
        P.Port.WriteString(*Data);
        std::fill(Data->begin(), Data->end(), '\0');
    }
    EXPECT_TRUE(P.Port.WritePending());
    std::string Received;
    std::thread Reader([&] { Received = P.Pty.Read(Expected.size(), 20s); });
    P.Port.WaitForWrite();
    Reader.join();
    EXPECT_FALSE(P.Port.WritePending());
    EXPECT_TRUE(Received == Expected);
}

TEST(ComPortTransfer, AWriteThatCannotLeaveRaisesTimeoutAtItsLimit)
{
    TOpenPort P; // nobody reads the other end, so the queue fills
    P.Port.Timeouts().SetWriteMultiplier(0);
    P.Port.Timeouts().SetWriteConstant(300);
    std::string Data(1 << 20, 'x');
    auto Start = Clock::now();
    EXPECT_EQ(TimeoutOf([&] { P.Port.Write(Data.data(), static_cast<int32_t>(Data.size()), true); }), "Timeout/0");
    EXPECT_GE(MsSince(Start), 300);
    EXPECT_LT(MsSince(Start), 5000);
}

TEST(ComPortTransfer, ReceivedNullBytesAreDroppedWhenAskedAndPurgeDiscardsInput)
{
    TOpenPort P;
    P.Port.SetOptions({opDiscardNullBytes});
    P.Pty.Write(std::string("A\0B\0\0C", 6));
    char Buffer[3];
    P.Port.Read(Buffer, 3, true);
    EXPECT_EQ(std::string(Buffer, 3), "ABC");

    P.Pty.Write("stale");
    std::this_thread::sleep_for(100ms);
    P.Port.PurgeInput();
    EXPECT_EQ(TimeoutOf([&] { P.Port.Read(Buffer, 1, true); }), "Timeout/0");
}

TEST(ComPortTransfer, LogFileGetsOneLinePerStep)
{
    char Dir[] = "/tmp/kvt-serial-log-XXXXXX";
    ASSERT_NE(::mkdtemp(Dir), nullptr);
    const std::string Log = std::string(Dir) + "/port.log";
    std::ofstream(Log) << "earlier\r\n";

    TPty Pty;
    {
        TComPort Port;
        ConfigureLikeTheProgram(Port, Pty.SlavePath());
        Port.SetLogFile(Log);
        Port.Open();
        Port.WriteString("\x0A\xFF");
        Port.WaitForWrite();
        Pty.Write("\x01\xAB\x10");
        char Buffer[3];
        Port.Read(Buffer, 3, true);
        Port.Close();
    }
    std::ifstream In(Log, std::ios::binary);
    std::stringstream Text;
    Text << In.rdbuf();
    std::vector<std::string> Lines;
    std::string Line;
    while (std::getline(Text, Line))
        Lines.push_back(Line);
    const std::vector<std::string> Messages = {"Open " + Pty.SlavePath(), "Write request $0A, $FF",
        "Write complete $0A, $FF", "Read request 3 byte(s)", "Read complete $01, $AB, $10", "Close " + Pty.SlavePath()};
    ASSERT_EQ(Lines.size(), Messages.size() + 1) << Text.str();
    EXPECT_EQ(Lines[0], "earlier\r");
    for (size_t i = 0; i < Messages.size(); ++i) {
        const std::string& L = Lines[i + 1];
        const std::string Tail = " " + Messages[i] + "\r";
        ASSERT_GT(L.size(), Tail.size() + 1) << L;
        EXPECT_EQ(L.substr(L.size() - Tail.size()), Tail);
        EXPECT_NE(L[L.size() - Tail.size() - 1], ' ') << "one space after the time: " << L;
    }

    // A log that cannot be written fails the operation that wrote it.
    TComPort Port;
    ConfigureLikeTheProgram(Port, Pty.SlavePath());
    Port.Open();
    Port.SetLogFile(std::string(Dir) + "/missing/port.log");
    EXPECT_EQ(TimeoutOf([&] { Port.WriteString("x"); }), "No such file or directory/2");
    Port.SetLogFile("");
    std::remove(Log.c_str());
    ::rmdir(Dir);
}
