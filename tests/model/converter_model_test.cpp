// The converter model against the simulator: the state it keeps, what it tells its observers,
// the write-back after a load and a plan carried out word by word.
#include "model/converter_model.h"

#include "protocol/commands.h"
#include "protocol/word_names.h"
#include "serial/comport.h"
#include "signal/signal_kind.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

using namespace kvt;

namespace {

class Model : public ::testing::Test {
protected:
    void SetUp() override { Sim.Start(); }
    void TearDown() override { Sim.Stop(); }

    // Open, identify and load; true when connected.
    bool Connect()
    {
        return !M.Open(Sim.DevicePath()) && M.Identify().Ok() && M.Load().Ok();
    }
    std::vector<std::pair<int, int>> Writes() const
    {
        std::vector<std::pair<int, int>> w;
        for (const TFrame& f : Sim.Received())
            if (f[0] == CmdWriteWord)
                w.emplace_back(f[2], f[3] * 256 + f[4]);
        return w;
    }

    sim::TSimulator Sim;
    TConverterModel M;
};

} // namespace

TEST_F(Model, KeepsTheStateOfTheLinkAndTellsItsObservers)
{
    std::vector<TModelChange::TKind> told;
    int exchanges = 0;
    const int key = M.Subscribe([&](const TModelChange& C) {
        if (C.Kind == TModelChange::TKind::Exchange)
            ++exchanges;
        else if (C.Kind != TModelChange::TKind::Elapsed)
            told.push_back(C.Kind);
    });
    EXPECT_EQ(M.State(), TLinkState::Disconnected);
    ASSERT_FALSE(M.Open(Sim.DevicePath()));
    EXPECT_EQ(M.State(), TLinkState::Connecting);
    ASSERT_TRUE(M.Identify().Ok());
    EXPECT_EQ(M.TemperatureC(), 25);
    ASSERT_TRUE(M.Load().Ok());
    EXPECT_EQ(M.State(), TLinkState::Connected);
    EXPECT_EQ(M.ConnectedPort(), Sim.DevicePath());
    EXPECT_EQ(exchanges, 22);
    using K = TModelChange::TKind;
    EXPECT_EQ(told, (std::vector<K>{K::Link, K::Identity, K::Settings, K::Link}));
    EXPECT_EQ(M.Settings().InZero, Sim.Word(WordInZero));

    // A KVT27L's limits come with its identification; a failed load keeps the record as it was.
    Sim.SetModel(ModelKVT27L);
    Sim.SetFaults({.NoReplyToWord = WordInZero});
    Sim.SetWord(WordInEnd, 50000);
    M.Unsubscribe(key);
    ASSERT_FALSE(M.Open(Sim.DevicePath()));
    ASSERT_TRUE(M.Identify().Ok());
    EXPECT_EQ(M.OutCodeMax(), 8191);
    EXPECT_EQ(M.BarDivisor(), 41);
    EXPECT_FALSE(M.TemperatureC());
    EXPECT_EQ(M.Load().Outcome.Fault, TFault::NoReply);
    EXPECT_EQ(M.State(), TLinkState::Connecting);
    EXPECT_NE(M.Settings().InEnd, 50000);

    // The port text that names nothing, and one that does not open.
    EXPECT_EQ(M.Open("   "), (std::optional<TOpenFailure>{TOpenFailure{}}));
    const std::optional<TOpenFailure> failed = M.Open("/nonexistent/tty");
    ASSERT_TRUE(failed);
    EXPECT_NE(failed->Reason.find("No such file"), std::string::npos) << failed->Reason;
    EXPECT_EQ(M.State(), TLinkState::Disconnected);
}

TEST_F(Model, WritesBackWhatTheShownChoicesDoNotShow)
{
    Sim.SetWord(WordLimitReaction, 3); // the 3.5 mA reaction, refused outside configuration 0
    Sim.SetWord(WordFilterType, 7);    // a value no button stands for
    ASSERT_TRUE(Connect());
    Sim.ClearReceived();
    TShownChoices shown;
    shown.OutputMode = OutputModeCurrent;
    const TWriteBack w = M.WriteBack(shown);
    EXPECT_TRUE(w.Outcome.Ok());
    EXPECT_TRUE(w.Drop35mARefused);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{WordInputMode, InputModeCurrent}}));

    // A choice the buttons show already is not written; a failed write stops the write-back.
    shown = {InputModeCurrent, std::nullopt, std::nullopt, std::nullopt};
    Sim.SetWord(WordLimitReaction, 1);
    ASSERT_TRUE(M.Load().Ok());
    Sim.ClearReceived();
    Sim.SetFaults({.NoReplyToCommand = CmdWriteWord});
    EXPECT_EQ(M.WriteBack(shown).Outcome.Fault, TFault::NoReply);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{WordOutputMode, OutputModeCurrent}}));
}

TEST_F(Model, APlanIsCarriedOutWordByWordAndTellsWhatBecameOfEach)
{
    Sim.SetFirmwareVersion(1300000000);
    ASSERT_TRUE(Connect());
    const std::vector<TPlannedWrite> plan = {{WordInZero, 38000, 35000, true, ""},
                                             {WordInEnd, 62000, 62000, false, "unchanged"},
                                             {WordFilterType, 0, 1, true, ""},
                                             {WordLimitReaction, 0, 2, true, ""}};
    TApplyReport r = M.ApplyPlan(plan, true);
    EXPECT_TRUE(Writes().empty()) << "a dry run writes nothing";
    EXPECT_EQ(r.Words[0].Action, TAppliedWord::TAction::WouldWrite);
    EXPECT_EQ(r.Words[1].Action, TAppliedWord::TAction::Keep);

    // The first write's reply is lost: it is read back; the rest is not written.
    Sim.SetFaults({.NoReplyToCommand = CmdWriteWord});
    r = M.ApplyPlan(plan);
    EXPECT_FALSE(r.Complete());
    EXPECT_EQ(r.Failure.Fault, TFault::NoReply);
    EXPECT_EQ(r.Words[0].Action, TAppliedWord::TAction::Unknown);
    EXPECT_EQ(r.Words[0].Holds, std::optional<uint16_t>(35000));
    EXPECT_EQ(r.Names(TAppliedWord::TAction::NotWritten), (std::vector<std::string>{"FilterType", "LimitReaction"}));
    EXPECT_TRUE(r.PowerCycleNeeded) << "the range may be stored";

    // A stop asked for after the first write.
    Sim.SetFaults({});
    int asked = 0;
    r = M.ApplyPlan(plan, false, [&] { return ++asked > 1; });
    EXPECT_TRUE(r.Stopped);
    EXPECT_EQ(r.Names(TAppliedWord::TAction::Written), std::vector<std::string>{"InZero"});
    EXPECT_EQ(r.Names(TAppliedWord::TAction::NotWritten), (std::vector<std::string>{"FilterType", "LimitReaction"}));
    EXPECT_EQ(M.Settings().FilterType, 0) << "the record follows only at the next load";

    // The writable words read afresh; the work record keeps the converter as found.
    const TResult<TDeviceSettings> now = M.ReadWritableWords();
    ASSERT_TRUE(now.Ok());
    EXPECT_EQ(now.Value.InZero, 35000);
    ASSERT_TRUE(M.WorkRecord());
    EXPECT_EQ(M.WorkRecord()->AsFound.InZero, 38000);
    ASSERT_TRUE(M.Load().Ok());
    EXPECT_EQ(M.WorkRecord()->AsFound.InZero, 38000) << "the same converter: as found stays";
    Sim.SetWord(WordCalIn0mA, 31000);
    ASSERT_TRUE(M.Load().Ok());
    EXPECT_EQ(M.WorkRecord()->AsFound.InZero, 35000) << "another converter starts anew";
}
