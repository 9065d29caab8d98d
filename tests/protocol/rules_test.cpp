// The rules of the transactions and of the converter session, on a line in memory with the
// simulator's converter and its faults at the far end: a reply with a bad CRC or another command's
// echo, an operation that stops at its first fault and says where, a word asked once more, a late
// reply never taken for another word's. End to end on a pseudo-terminal: transactions_test.cpp and
// session_test.cpp.
#include "memory_line.h"
#include "transactions_fixture.h"
#include "protocol/converter_session.h"
#include "protocol/line_log.h"
#include "protocol/line_settings.h"
#include "protocol/transactions.h"
#include "protocol/word_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kvt;
using kvt::test::TMemorySim;

namespace {

using Transactions = kvt::test::TTransactionsFixture<TMemorySim>;
using kvt::test::Bytes;

} // namespace

TEST_F(Transactions, RejectedReplies)
{
    Sim.SetFaults({.BadCrc = true});
    EXPECT_EQ(Send(CmdIdentify, 0), 0);
    EXPECT_EQ(Last.Fault, TFault::BadCrc);
    EXPECT_EQ(Reply.size(), 7u);
    EXPECT_EQ(static_cast<uint8_t>(Reply[0]), CmdIdentify);

    Sim.SetFaults({.SwapCrc = true});
    EXPECT_EQ(Send(CmdIdentify, 0), 0);
    EXPECT_EQ(Reply, Bytes({0xFF, 0x00, 0x00, 0x11, 0x0A, 0xBC, 0x67}));

    Sim.SetFaults({.WrongEcho = true});
    EXPECT_EQ(Send(CmdReadConfig, 0), 0);
    EXPECT_EQ(Last.Fault, TFault::WrongEcho);
    EXPECT_TRUE(ReplyValid(Reply, static_cast<uint8_t>(Reply[0])));  // a sound frame, of another command

    // The identify reply with a wrong station echo is a valid reply; the caller judges byte 4.
    Sim.SetFaults({.WrongStation = true});
    EXPECT_EQ(Send(CmdIdentify, 0), 1);
    EXPECT_NE(static_cast<uint8_t>(Reply[3]), Station);

    // A reply was read each time, so each time was reported.
    EXPECT_EQ(Shown.size(), 4u);
    Sim.SetFaults({});
    EXPECT_EQ(Send(CmdIdentify, 0), 1);
}

namespace {

// The rules hold at any reply time: the port's limits are cut to a fortieth, a reply's time is
// 20 ms instead of 800.
class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sim.Start();
        Port.SetDeviceName(Sim.DevicePath());
        ApplyConverterLineSettings(Port);
        Port.Timeouts().SetReadMultiplier(2);
        Port.Timeouts().SetReadConstant(6);
        Port.SetActive(true);
        S.NewStationAddress();
    }
    void TearDown() override
    {
        Port.SetActive(false);
        Sim.Stop();
    }

    TMemorySim Sim;
    TComPort Port{Sim.Backend()};
    TConverterSession S{Port};
};

const TFault Expected[] = {TFault::NoReply, TFault::BadCrc, TFault::LineFailed};

} // namespace

TEST_F(Session, IdentificationStopsAtTheFirstFaultAndSaysWhere)
{
    const uint8_t steps[] = {CmdIdentify, CmdReadVersion, CmdReadTemperature, CmdReadConfig};
    for (int kind = 0; kind < 3; ++kind) {
        for (int step = 1; step <= 4; ++step) {
            SCOPED_TRACE(testing::Message() << "fault " << kind << " at step " << step);
            Port.SetActive(false);
            Sim.Stop();
            Sim.Start();
            Port.SetDeviceName(Sim.DevicePath());
            Port.SetActive(true);
            sim::TFaults f;
            if (kind == 0)
                f.NoReplyToFrame = step;
            else if (kind == 1)
                f.OnlyCommand = steps[step - 1], f.BadCrc = true;
            else if (step > 1)
                f.HangUpAfterFrames = step - 1;
            else
                Sim.HangUp();
            Sim.SetFaults(f);
            const TResult<TIdentity> r = S.Identify();
            EXPECT_EQ(r.Outcome.Fault, Expected[kind]);
            EXPECT_EQ(r.Outcome.Command, steps[step - 1]);
            EXPECT_EQ(r.Value.FirmwareVersion.has_value(), step > 2);
            EXPECT_EQ(r.Value.ConfigType.has_value(), false);
            // Nothing after the failed request (a cable pulled before the first takes that one too).
            EXPECT_EQ(Sim.Received().size(), static_cast<std::size_t>(kind == 2 && step == 1 ? 0 : step));
        }
    }

    // A device that echoes another station, or names another model, is not a converter.
    Port.SetActive(false);
    Sim.Stop();
    Sim.Start();
    Port.SetDeviceName(Sim.DevicePath());
    Port.SetActive(true);
    Sim.SetFaults({.WrongStation = true});
    TResult<TIdentity> r = S.Identify();
    EXPECT_EQ(r.Outcome.Fault, TFault::NotConverter);
    EXPECT_EQ(Sim.Received().size(), 2u) << "asked once more, in case the first was a late reply";
    Sim.SetFaults({});
    Sim.SetModel(7);
    Sim.ClearReceived();
    r = S.Identify();
    EXPECT_EQ(r.Outcome.Fault, TFault::NotConverter);
    EXPECT_NE(r.Outcome.Describe().find("model 7"), std::string::npos);
    EXPECT_EQ(Sim.Received().size(), 2u);

    Sim.SetModel(ModelKVT27L);
    r = S.Identify();
    ASSERT_TRUE(r.Ok()) << r.Outcome.Describe();
    EXPECT_FALSE(r.Value.TemperatureRaw) << "a KVT27L has no temperature";
    EXPECT_EQ(*r.Value.ConfigType, 15);
}

TEST_F(Session, ALoadAsksAWordOnceMoreAndEndsWhenItFailsAgain)
{
    // One lost reply and one corrupted one: each word is asked again, the load completes.
    Sim.SetFaults({.NoReplyToFrame = 5});
    int rows = 0;
    TResult<TLoadedWords> r = S.LoadSettings([&](int Row) { rows = Row; });
    ASSERT_TRUE(r.Ok()) << r.Outcome.Describe();
    EXPECT_EQ(rows, 18);
    EXPECT_EQ(Sim.Received().size(), 19u);
    TDeviceSettings d;
    r.Value.ApplyTo(d);
    EXPECT_EQ(d.InZero, Sim.Word(WordInZero));
    EXPECT_EQ(d.CalOut10V, Sim.Word(WordCalOut10V));
    EXPECT_EQ(r.Value.CodeFieldZero(), Sim.Word(WordOutZero));

    // A word that never reads: asked twice, then the load stops there.
    for (const bool badCrc : {false, true}) {
        Sim.ClearReceived();
        sim::TFaults f;
        if (badCrc)
            f.OnlyCommand = CmdReadWord, f.BadCrc = true;
        else
            f.NoReplyToWord = WordFilterType;
        Sim.SetFaults(f);
        r = S.LoadSettings();
        EXPECT_EQ(r.Outcome.Fault, badCrc ? TFault::BadCrc : TFault::NoReply);
        const int failed = badCrc ? LoadEEOrder[0] : int{WordFilterType};
        EXPECT_EQ(r.Outcome.Parameter, static_cast<uint32_t>(failed));
        EXPECT_EQ(Sim.Received().size(), badCrc ? 2u : 6u);
    }

    // A cut line is not asked again.
    Sim.SetFaults({.HangUpAfterFrames = static_cast<int>(Sim.Counters().Frames) + 3});
    Sim.ClearReceived();
    r = S.LoadSettings();
    EXPECT_EQ(r.Outcome.Fault, TFault::LineFailed);
    EXPECT_EQ(r.Outcome.Parameter, LoadEEOrder[3]);
    EXPECT_EQ(Sim.Received().size(), 4u);
}

TEST_F(Session, WritesAndMeasurementsSayHowTheyFailed)
{
    ASSERT_TRUE(S.WriteWord(WordFilterType, 1).Ok());
    EXPECT_EQ(Sim.Word(WordFilterType), 1);

    Sim.SetFaults({.NoReplyToCommand = CmdWriteWord});
    TOutcome o = S.WriteWord(WordFilterType, 2);
    EXPECT_EQ(o.Fault, TFault::NoReply);
    EXPECT_EQ(o.Describe(), "no reply to write word 8 (FilterType) = 2");
    EXPECT_EQ(Sim.Word(WordFilterType), 2) << "the request itself arrived";

    Sim.SetFaults({.BadCrc = true});
    EXPECT_EQ(S.Measure(MeasureOnly).Outcome.Fault, TFault::BadCrc);

    Sim.SetFaults({});
    EXPECT_TRUE(S.DriveOutput(100).Ok());
    Sim.HangUp();
    o = S.WriteWord(WordFilterType, 0);
    EXPECT_EQ(o.Fault, TFault::LineFailed);
    Port.SetActive(false);
    o = S.ReleaseOutput();
    EXPECT_EQ(o.Fault, TFault::LineFailed);
    EXPECT_NE(o.Describe().find("closed port"), std::string::npos) << o.Describe();
}

namespace {

// The load with the port's time limits cut to a sixteenth, so that every row can be tried with
// every lateness: a reply's time L is 50 ms instead of 800, and lateness is counted in L.
class LateReply : public Session, public testing::WithParamInterface<double> {
protected:
    static constexpr int L = 50;
    void SetUp() override
    {
        Session::SetUp();
        Port.Timeouts().SetReadMultiplier(5);
        Port.Timeouts().SetReadConstant(15);
        ASSERT_EQ(S.ReplyLimitMs(), L);
        // Every word its own value, so that a reply taken for another row shows.
        for (const uint8_t a : LoadEEOrder)
            Sim.SetWord(a, static_cast<uint16_t>(1000 + a * 7));
    }
    // The load with the reply to row Row (1..18) late by Late x L.
    TResult<TLoadedWords> LoadLate(int Row, double Late)
    {
        sim::TFaults f;
        f.DelayFrame = static_cast<int>(Sim.Counters().Frames) + Row;
        f.ReplyDelayMs = static_cast<int>(Late * L);
        Sim.SetFaults(f);
        TResult<TLoadedWords> r = S.LoadSettings();
        Sim.SetFaults({});
        return r;
    }
    void ExpectWordsOf(const TResult<TLoadedWords>& R)
    {
        for (std::size_t k = 0; k < LoadEEOrder.size(); ++k)
            EXPECT_EQ(R.Value.Rows[k], Sim.Word(LoadEEOrder[k])) << "row " << k + 1;
    }
};

} // namespace

TEST_P(LateReply, AtAnyRowOfTheLoadNoWordTakesAnothersReply)
{
    for (int row = 1; row <= 18; ++row) {
        SCOPED_TRACE(testing::Message() << "row " << row);
        const TResult<TLoadedWords> r = LoadLate(row, GetParam());
        ASSERT_TRUE(r.Ok()) << r.Outcome.Describe();
        ExpectWordsOf(r);
        // Nothing is left on the line for the next question.
        const TResult<uint16_t> next = S.ReadWord(WordInZero);
        ASSERT_TRUE(next.Ok()) << next.Outcome.Describe();
        EXPECT_EQ(next.Value, Sim.Word(WordInZero));
    }
}

INSTANTIATE_TEST_SUITE_P(LateBy, LateReply, testing::Values(0.8, 1.0, 1.2, 1.6),
                         [](const testing::TestParamInfo<double>& P) { return std::to_string(int(P.param * 10)) + "tenths"; });

TEST_F(LateReply, OneLaterThanTheLineWaitsFailsTheLoadInsteadOfShiftingIt)
{
    // Late by 3.5 L it comes after the line fell quiet, and is taken for the repeat's answer; the
    // repeat's own answer then follows it, and the load fails rather than guess.
    TLineLog log;
    S.SetObserver([&](const TExchange& X) { log.Add(X); });
    const TResult<TLoadedWords> r = LoadLate(10, 3.5);
    EXPECT_EQ(r.Outcome.Fault, TFault::LateReply) << r.Outcome.Describe();
    EXPECT_EQ(r.Outcome.Parameter, LoadEEOrder[9]);
    const std::string text = log.Text();
    EXPECT_NE(text.find("late, dropped"), std::string::npos) << text;

    // A write whose reply is lost may have been stored: it is read back once the line is quiet.
    Sim.SetFaults({.NoReplyToCommand = CmdWriteWord});
    TConverterSession::TWordWrite w = S.WriteWordOrReadBack(WordFilterType, 2);
    EXPECT_TRUE(w.Unknown());
    EXPECT_EQ(w.Holds, std::optional<uint16_t>(2));
    Sim.SetFaults({.HangUpAfterFrames = static_cast<int>(Sim.Counters().Frames)});
    w = S.WriteWordOrReadBack(WordFilterType, 1);
    EXPECT_TRUE(w.Unknown()) << "sent before the line went";
    EXPECT_FALSE(w.Holds);
    Port.SetActive(false);
    w = S.WriteWordOrReadBack(WordFilterType, 1);
    EXPECT_FALSE(w.Unknown()) << "a closed port sends nothing";
}
