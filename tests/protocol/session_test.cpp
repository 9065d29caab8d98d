// The converter session against the simulator on a pseudo-terminal, end to end: the line log of a
// session. Its rules (what each operation reports when a reply is lost, corrupted or the line is
// cut, a word asked again, a late reply) are tested on a line in memory in rules_test.cpp.
#include "protocol/converter_session.h"
#include "protocol/line_log.h"
#include "protocol/line_settings.h"
#include "protocol/word_names.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

using namespace kvt;

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sim.Start();
        Port.SetDeviceName(Sim.DevicePath());
        ApplyConverterLineSettings(Port);
        Port.SetActive(true);
        S.NewStationAddress();
    }
    void TearDown() override
    {
        Port.SetActive(false);
        Sim.Stop();
    }

    sim::TSimulator Sim;
    TComPort Port;
    TConverterSession S{Port};
};

} // namespace

TEST_F(Session, TheLineLogKeepsTheNewestTransactionsAndSaysWhatFailed)
{
    TLineLog log(3);
    S.SetObserver([&](const TExchange& X) { log.Add(X); });
    ASSERT_TRUE(S.Identify().Ok());
    Sim.SetFaults({.NoReplyToCommand = CmdReadWord});
    EXPECT_FALSE(S.ReadWord(WordInZero).Ok());
    EXPECT_EQ(log.Total(), 5u);
    ASSERT_EQ(log.Size(), 3u) << "bounded: the oldest go";
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 6u); // temperature and configuration with their replies, the lost read
    EXPECT_NE(lines[0].find("  >  FA "), std::string::npos) << lines[0];
    EXPECT_NE(lines[4].find("  >  19 "), std::string::npos) << lines[4];
    EXPECT_NE(lines[5].find("  !  no reply to read word 10 (InZero)"), std::string::npos) << lines[5];
}
