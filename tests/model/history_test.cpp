// Each converter's history: known again by its fingerprint, appended to and never rewritten, a
// damaged register read up to and past the damage, and what changed since the last session.
#include "model/history.h"

#include "platform/sha256.h"
#include "protocol/word_names.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace kvt;

namespace {

class History : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/kvt-history-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Dir = dir;
    }
    void TearDown() override { std::system(("rm -rf '" + Dir + "'").c_str()); }

    std::string FileText(const std::string& File) const
    {
        std::ifstream f(File, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    }
    void AppendRaw(const std::string& File, const std::string& Text) const
    {
        std::ofstream(File, std::ios::binary | std::ios::app) << Text;
    }
    // One session on the simulator: connect, apply Plan, keep the entry; the entry's as-left.
    TDeviceSettings Session(sim::TSimulator& Sim, const std::vector<TPlannedWrite>& Plan, std::optional<TLastSeen>& Seen)
    {
        TConverterModel m;
        EXPECT_FALSE(m.Open(Sim.DevicePath()));
        EXPECT_TRUE(m.Identify().Ok());
        EXPECT_TRUE(m.Load().Ok());
        THistoryStore store(Dir);
        const TFingerprint f = TFingerprint::Of(m.Settings());
        Seen = LastSeen(store.Read(f), m.Settings());
        const TApplyReport report = m.ApplyPlan(Plan);
        THistoryEntry e = SessionEntry(m, SettingsAfter(m.Settings(), report), "test");
        e.Written = report.Names(TAppliedWord::TAction::Written);
        e.Labels.Tag = "FT-101";
        store.Append(f, e);
        return e.AsLeft;
    }

    std::string Dir;
};

TDeviceSettings Some(int InEnd)
{
    TDeviceSettings s;
    s.DeviceModel = ModelKVT27;
    s.FirmwareVersion = 1200160822;
    s.CalIn0mA = 32000;
    s.CalOut10V = 15920;
    s.InEnd = InEnd;
    return s;
}

} // namespace

TEST_F(History, AFingerprintNamesTheModelFirmwareAndCalibration)
{
    const TFingerprint f = TFingerprint::Of(Some(0));
    EXPECT_EQ(f.Text(), "KVT27-1200160822-7D000000000000000000000000003E30");
    EXPECT_EQ(TFingerprint::Parse(f.Text()), f);
    EXPECT_EQ(TFingerprint::Parse("12-4294967295-7d000000000000000000000000003e30")->FirmwareVersion, -1);
    for (const char* bad : {"", "KVT27-1-", "KVT28-1-7D000000000000000000000000003E30", "KVT27-x-7D000000000000000000000000003E30",
                            "KVT27-1-7D000000000000000000000000003E3G", "KVT27-1-7D000000000000000000000000003E300"})
        EXPECT_FALSE(TFingerprint::Parse(bad)) << bad;
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST_F(History, ADamagedRegisterKeepsEveryEntryItCanRead)
{
    THistoryStore store(Dir + "/new/folder");
    const TFingerprint f = TFingerprint::Of(Some(0));
    THistoryEntry e;
    e.Time = std::chrono::system_clock::time_point(std::chrono::seconds(1772618400)); // 2026-03-04T10:00:00Z
    e.Port = "/dev/ttyUSB0";
    e.AsFound = Some(62000);
    e.AsLeft = Some(61990);
    e.Written = {"InEnd"};
    e.RecordFile = "rec.pdf";
    e.RecordSha256 = Sha256Hex("x");
    store.Append(f, e);
    store.SetLabels(f, {"FT-101", "Plant 3", "new cable"});
    e.AsFound = e.AsLeft;
    store.Append(f, e);
    const std::string file = store.FileOf(f);
    const std::string whole = FileText(file);

    THistory h = store.Read(f);
    ASSERT_EQ(h.Entries.size(), 2u);
    EXPECT_TRUE(h.Problems.empty());
    EXPECT_EQ(UtcTimeText(h.Entries[0].Time), "2026-03-04T10:00:00Z");
    EXPECT_EQ(h.Entries[0].Written, std::vector<std::string>{"InEnd"});
    EXPECT_EQ(h.Entries[0].RecordSha256, Sha256Hex("x"));
    EXPECT_EQ(WordChanges(h.Entries[0].AsFound, h.Entries[0].AsLeft), (std::vector<TWordChange>{{"InEnd", 62000, 61990}}));
    EXPECT_EQ(h.Labels, (THistoryLabels{"FT-101", "Plant 3", "new cable"}));

    // A write cut off at the end: told, the rest kept; the next entry starts on a line of its own
    // and the file before it is never rewritten.
    AppendRaw(file, "{\"kind\":\"session\",\"time\":\"2026-03-05T");
    h = store.Read(f);
    EXPECT_EQ(h.Entries.size(), 2u);
    ASSERT_EQ(h.Problems.size(), 1u);
    EXPECT_NE(h.Problems[0].find("line 5 is cut off"), std::string::npos) << h.Problems[0];
    store.Append(f, e);
    h = store.Read(f);
    EXPECT_EQ(h.Entries.size(), 3u);
    ASSERT_EQ(h.Problems.size(), 1u);
    EXPECT_NE(h.Problems[0].find("line 5 is damaged"), std::string::npos) << h.Problems[0];
    EXPECT_EQ(FileText(file).rfind(whole, 0), 0u);

    // Damage in the middle (a line overwritten with other bytes): the entries on both sides stay.
    std::string damaged = FileText(file);
    damaged.replace(damaged.find("\"kind\":\"labels\""), 6, "\x01\xff\x02zz");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
    h = store.Read(f);
    EXPECT_EQ(h.Entries.size(), 3u);
    EXPECT_EQ(h.Problems.size(), 2u);
    EXPECT_EQ(h.Labels.Tag, ""); // the labels were on the damaged line; the entries carry none
}

TEST_F(History, TwoSessionsWithAChangeBetweenThemAndAnotherModel)
{
    sim::TSimulator sim;
    sim.Start();
    std::optional<TLastSeen> seen;
    // First session: the filter set.
    Session(sim, {{WordFilterType, 0, 1, true, ""}}, seen);
    EXPECT_FALSE(seen) << "a new converter has no history";
    // Meanwhile someone else changed the input range end.
    sim.SetWord(WordInEnd, 61990);
    Session(sim, {}, seen);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->Tag, "FT-101");
    EXPECT_EQ(seen->Changes, (std::vector<TWordChange>{{"InEnd", 62000, 61990}}));
    EXPECT_EQ(LastSeenText(*seen), "Last seen " + LocalDateText(seen->Time) + " as FT-101; since then InEnd 62000 -> 61990");

    TConverterModel m;
    ASSERT_FALSE(m.Open(sim.DevicePath()));
    ASSERT_TRUE(m.Identify().Ok());
    ASSERT_TRUE(m.Load().Ok());
    const THistory h = THistoryStore(Dir).Read(TFingerprint::Of(m.Settings()));
    ASSERT_EQ(h.Entries.size(), 2u);
    EXPECT_EQ(h.Entries[0].Written, std::vector<std::string>{"FilterType"});
    EXPECT_EQ(WordChanges(h.Entries[0].AsFound, h.Entries[0].AsLeft), (std::vector<TWordChange>{{"FilterType", 0, 1}}));
    EXPECT_EQ(h.Entries[1].AsFound.InEnd, 61990);
    m.Close();

    // Another model is another converter: a history of its own.
    sim.SetModel(ModelKVT27L);
    Session(sim, {}, seen);
    EXPECT_FALSE(seen);
    sim.Stop();
}
