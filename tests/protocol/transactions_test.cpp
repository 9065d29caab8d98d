// The transactions over a real TComPort on the simulator's pseudo-terminal. The rules for a reply
// that is not one (CRC, echo) are tested on a line in memory in rules_test.cpp.
#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "protocol/frame.h"
#include "protocol/transactions.h"
#include "tools/sim/simulator.h"
#include "transactions_fixture.h"
#include "protocol/line_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace kvt;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point t)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

using Transactions = kvt::test::TTransactionsFixture<sim::TSimulator>;
using kvt::test::Bytes;

} // namespace

TEST_F(Transactions, IdentificationReplies)
{
    Sim.SetFirmwareVersion(1200160822);
    Sim.SetTemperatureRaw(10125155);
    Sim.SetConfigType(7);

    ASSERT_EQ(Send(CmdIdentify, 0), 1);
    EXPECT_EQ(Reply, Bytes({0xFF, 0x00, 0x00, 0x11, 0x0A, 0x67, 0xBC}));
    EXPECT_EQ(static_cast<uint8_t>(Reply[3]), Station);
    EXPECT_EQ(static_cast<uint8_t>(Reply[4]), ModelKVT27);
    // Byte 2 differs from the station address and is not compared.
    EXPECT_NE(static_cast<uint8_t>(Reply[1]), Station);

    ASSERT_EQ(Send(CmdReadVersion, 0), 1);
    EXPECT_EQ(static_cast<int32_t>(ReplyLong(Reply)), 1200160822);
    ASSERT_EQ(Send(CmdReadTemperature, 0), 1);
    EXPECT_EQ(ReplyLong(Reply), 10125155u);
    ASSERT_EQ(Send(CmdReadConfig, 0), 1);
    EXPECT_EQ(ReplyWord(Reply), 7);

    Sim.SetModel(ModelKVT27L);
    Station = 254;
    ASSERT_EQ(Send(CmdIdentify, 0), 1);
    EXPECT_EQ(static_cast<uint8_t>(Reply[3]), 254);
    EXPECT_EQ(static_cast<uint8_t>(Reply[4]), ModelKVT27L);

    EXPECT_EQ(Shown.size(), 5u);
    EXPECT_EQ(Shown.back(), Elapsed);
    // The accumulator is the one the last reply check used.
    EXPECT_EQ(T.Crc(), Crc16Of(reinterpret_cast<const uint8_t*>(Reply.data()), 5));
}

TEST_F(Transactions, SettingsWordsAndMeasuring)
{
    const sim::TWords words = Sim.Words();
    for (uint8_t address : {4, 6, 8, 10, 12, 14, 16, 44, 130, 132, 134, 136, 138, 140, 142, 144}) {
        ASSERT_EQ(Send(CmdReadWord, address), 1) << int(address);
        EXPECT_EQ(ReplyWord(Reply), words[address]) << int(address);
    }
    EXPECT_EQ(Send(CmdReadWord, 200), 1);
    EXPECT_EQ(ReplyWord(Reply), 0);

    ASSERT_EQ(SendEE(CmdWriteWord, WordOutZero, 8191), 1);
    EXPECT_EQ(Sim.Word(WordOutZero), 8191);
    ASSERT_EQ(SendEE(CmdWriteWord, 200, 0xBEEF), 1);
    ASSERT_EQ(Send(CmdReadWord, 200), 1);
    EXPECT_EQ(ReplyWord(Reply), 0xBEEF);

    sim::TSignal s;
    s.Unit = sim::TSignalUnit::Raw;
    s.Value = 41234;
    Sim.SetSignal(s);
    ASSERT_EQ(Send(CmdMeasure, MeasureOnly), 1);
    EXPECT_EQ(ReplyWord(Reply), 41234);
    EXPECT_NE(Sim.Word(WordInZero), 41234);
    ASSERT_EQ(Send(CmdMeasure, MeasureStoreZero), 1);
    EXPECT_EQ(Sim.Word(WordInZero), 41234);
    s.Value = 60001;
    Sim.SetSignal(s);
    ASSERT_EQ(Send(CmdMeasure, MeasureStoreEnd), 1);
    EXPECT_EQ(ReplyWord(Reply), 60001);
    EXPECT_EQ(Sim.Word(WordInEnd), 60001);
    EXPECT_EQ(Sim.Word(WordInZero), 41234);

    // What went out, byte for byte, for the worked examples among them.
    const std::vector<TFrame> rx = Sim.Received();
    ASSERT_EQ(rx.size(), 23u);
    EXPECT_EQ(FrameToString(rx[0]), FrameToString(BuildSendFrame(CmdReadWord, 17, 4)));
    EXPECT_EQ(HexBytes(rx[0]), "19 11 00 00 04 E6 C2");
    EXPECT_EQ(HexBytes(rx[17]), "34 11 0E 1F FF 62 B4");
    EXPECT_EQ(HexBytes(rx[20]), "E8 11 00 00 02 1B 15");
}

TEST_F(Transactions, OutputCommandsReadNothing)
{
    T.DA(CmdOutputDrive, 8191);
    ASSERT_TRUE(Sim.WaitForFrames(1, 5s));
    EXPECT_EQ(Sim.Output().Code, 8191u);
    EXPECT_FALSE(Sim.Output().Released);
    T.DA(CmdOutputRelease, 0);
    ASSERT_TRUE(Sim.WaitForFrames(2, 5s));
    EXPECT_TRUE(Sim.Output().Released);
    EXPECT_TRUE(Shown.empty());

    const std::vector<TFrame> rx = Sim.Received();
    ASSERT_EQ(rx.size(), 2u);
    EXPECT_EQ(HexBytes(rx[0]), "2A 11 00 1F FF AB 75");
    EXPECT_EQ(HexBytes(rx[1]), "29 11 00 00 00 A7 05");

    // With nothing answering, DA still completes at once.
    Sim.SetFaults({.Mute = true});
    const auto start = Clock::now();
    T.DA(CmdOutputDrive, 100);
    EXPECT_LT(MsSince(start), 700);
    ASSERT_TRUE(Sim.WaitForFrames(3, 5s));
    Sim.SetFaults({});
    // Nothing stale is left on the line for the next transaction.
    EXPECT_EQ(Send(CmdIdentify, 0), 1);
}

TEST_F(Transactions, MissingReplyFailsAfterReadLimit)
{
    Sim.SetFaults({.NoReplyToCommand = CmdIdentify});
    auto start = Clock::now();
    EXPECT_EQ(Send(CmdIdentify, 0), 0);
    EXPECT_EQ(Last.Fault, TFault::NoReply);
    const int ms = MsSince(start);
    EXPECT_GE(ms, 700);
    EXPECT_LE(ms, 3000);
    // Send leaves the time and the status alone when the read fails.
    EXPECT_EQ(Elapsed, -1);
    EXPECT_TRUE(Shown.empty());

    // SendEE still reports it.
    Sim.SetFaults({.NoReplyToCommand = CmdWriteWord});
    start = Clock::now();
    EXPECT_EQ(SendEE(CmdWriteWord, WordFilterType, 2), 0);
    EXPECT_LE(MsSince(start), 3000);
    EXPECT_GE(Elapsed, 700);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0], Elapsed);
    // The command itself reached the converter.
    EXPECT_EQ(Sim.Word(WordFilterType), 2);
}

TEST_F(Transactions, PartialAndSplitReplies)
{
    Sim.SetFaults({.TruncateAt = 5});
    EXPECT_EQ(Send(CmdIdentify, 0), 0);
    EXPECT_EQ(Reply.substr(0, 5), Bytes({0xFF, 0x00, 0x00, 0x11, 0x0A}));
    EXPECT_TRUE(Shown.empty());

    // Both parts within the read limit: one reply.
    Sim.SetFaults({.SplitAt = 3, .SplitPauseMs = 150});
    ASSERT_EQ(Send(CmdReadConfig, 0), 1);
    EXPECT_EQ(ReplyWord(Reply), 15);
    EXPECT_GE(Elapsed, 150);
}

TEST_F(Transactions, ElapsedCountsWholeSeconds)
{
    // A longer read limit than the program's lets a reply arrive after more than a second.
    Port.Timeouts().SetReadConstant(3000);
    Sim.SetFaults({.ReplyDelayMs = 1250});
    ASSERT_EQ(Send(CmdIdentify, 0), 1);
    EXPECT_GE(Elapsed, 1250);
    EXPECT_LT(Elapsed, 3700);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0], Elapsed);
}

TEST_F(Transactions, ClosedPort)
{
    Port.SetActive(false);
    // Every form says the line failed, with the port's reason, and none raises it.
    EXPECT_EQ(Send(CmdIdentify, 0), 0);
    EXPECT_EQ(Last.Fault, TFault::LineFailed);
    EXPECT_EQ(Last.Detail, "Can't perform this operation on a closed port");
    EXPECT_EQ(FrameToString(Last.Request), FrameToString(BuildSendFrame(CmdIdentify, 17, 0)));
    EXPECT_EQ(Elapsed, -1);
    EXPECT_EQ(T.SendEE(CmdWriteWord, 8, 1).Fault, TFault::LineFailed);
    EXPECT_EQ(T.DA(CmdOutputRelease, 0).Fault, TFault::LineFailed);
    EXPECT_EQ(Sim.Counters().Frames, 0u);
}

TEST_F(Transactions, OtherErrorClassesPassThrough)
{
    Port.SetActive(false);
    Port.SetOnError([](TCustomComPort*, const EComError&, TComAction& Action) { Action = caAbort; });
    EXPECT_THROW(Send(CmdIdentify, 0), EAbort);
    EXPECT_THROW(T.DA(CmdOutputRelease, 0), EAbort);
}

TEST_F(Transactions, SimulatorSurvivesReopening)
{
    for (int i = 1; i <= 10; ++i) {
        Port.SetActive(false);
        Port.SetActive(true);
        Station = 20 + i;
        ASSERT_EQ(Send(CmdIdentify, 0), 1) << "cycle " << i;
        EXPECT_EQ(static_cast<uint8_t>(Reply[3]), Station);
    }
    EXPECT_EQ(Sim.Counters().Frames, 10u);
}
