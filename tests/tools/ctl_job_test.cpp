// kvt27ctl job run against simulated converters plugged in one after another under one port name.
#include "model/history.h"
#include "platform/sha256.h"
#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "serial/comport.h"
#include "tools/ctl/ctl.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace kvt;
using namespace kvt::ctl;
using namespace std::chrono_literals;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

class CtlJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/kvt-job-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Dir = dir;
        Port = Dir + "/bench";
        fs::create_directory(Dir + "/records");
        std::ofstream(Dir + "/pump.kvt") << "input = voltage\ninput-begin = 0 V\ninput-end = 10 V\noutput = voltage\n"
                                            "output-begin = 0 V\noutput-end = 10 V\nfilter = 1\nreaction = 2\n";
    }
    void TearDown() override
    {
        if (Thread.joinable()) {
            Stop = 2;
            Thread.join();
            ADD_FAILURE() << Result->Err;
        }
        Unplug();
        std::system(("rm -rf '" + Dir + "'").c_str());
    }

    // A converter of its own (its factory calibration differs from every other's) on the bench's port.
    sim::TSimulator& Plug(int Serial, const sim::TFaults& Faults = {})
    {
        Unplug();
        Sim = std::make_unique<sim::TSimulator>();
        Sim->SetWord(WordCalIn10V, static_cast<uint16_t>(Sim->Word(WordCalIn10V) + Serial));
        Sim->SetFaults(Faults);
        Sim->Start();
        fs::create_symlink(Sim->DevicePath(), Port);
        return *Sim;
    }
    void Plug(sim::TSimulator& Again)
    {
        Again.Start();
        fs::create_symlink(Again.DevicePath(), Port);
    }
    void Unplug()
    {
        fs::remove(Port);
        if (Sim)
            Sim->Stop();
    }
    static bool WaitFor(const std::function<bool()>& Done)
    {
        for (auto until = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < until;
             std::this_thread::sleep_for(20ms))
            if (Done())
                return true;
        return false;
    }

    // kvt27ctl job run in a thread of its own, with short waits.
    void Start(std::vector<std::string> Extra = {})
    {
        std::vector<std::string> args{"job", "run", Dir + "/job.csv", "--port", Port, "--records", Dir + "/records", "--json"};
        args.insert(args.end(), Extra.begin(), Extra.end());
        Result = std::make_shared<TRun>();
        Thread = std::thread([args, r = Result, stop = &Stop, constant = ReadConstant, history = Dir + "/history"] {
            std::ostringstream out, err;
            TCtlContext context{out, err, "/nonexistent", "."};
            context.Stop = stop;
            context.JobPollMs = 50;
            context.HistoryDir = history;
            context.PortSetup = [constant](TComPort& P) {
                P.Timeouts().SetReadMultiplier(10); // a reply's time is 70 ms + ReadConstant
                P.Timeouts().SetReadConstant(constant);
            };
            r->Status = RunCtl(args, context);
            r->Out = out.str();
            r->Err = err.str();
        });
    }
    TRun Finish()
    {
        Thread.join();
        return *Result;
    }
    Json Summary() { return Json::parse(ReadFile(Dir + "/records/job-summary.json")); }

    std::string Dir, Port;
    std::unique_ptr<sim::TSimulator> Sim;
    std::atomic<int> Stop{0};
    int ReadConstant = 30;
    std::shared_ptr<TRun> Result;
    std::thread Thread;
};

} // namespace

TEST_F(CtlJob, ThreeConvertersOneAfterAnotherGiveThreeRecordsAndASummary)
{
    std::ofstream(Dir + "/job.csv") << "tag,config,input,input-begin,input-end,output,output-begin,output-end,filter,reaction\n"
                                       "FT-101,pump.kvt,,,,,,,,\n"
                                       "FT-102,,current,4 mA,20 mA,voltage,0 V,10 V,2,0\n"
                                       "FT-103,pump.kvt,,,,,,,,\n";
    Plug(1);
    Start();
    for (const std::string tag : {"FT-101", "FT-102"}) {
        ASSERT_TRUE(WaitFor([&] { return fs::exists(Dir + "/records/" + tag + ".json"); })) << tag;
        Plug(tag == std::string("FT-101") ? 2 : 3);
    }
    const TRun r = Finish();
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Err.find("kvt27ctl: connect the converter for FT-102 (row 2 of 3)\n"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("kvt27ctl: unplug the converter for FT-101\n"), std::string::npos) << r.Err;

    const Json out = Json::parse(r.Out);
    EXPECT_EQ(out, Summary());
    EXPECT_EQ(out["complete"], true);
    ASSERT_EQ(out["rows"].size(), 3u);
    std::set<std::string> fingerprints;
    for (const Json& row : out["rows"]) {
        EXPECT_EQ(row["result"], "done") << row;
        EXPECT_EQ(row["model"], "KVT27");
        EXPECT_EQ(row["firmware"], "1.200/160822");
        EXPECT_FALSE(row["written"].empty());
        EXPECT_EQ(row["record"], Dir + "/records/" + row["tag"].get<std::string>() + ".json");
        fingerprints.insert(row["fingerprint"].get<std::string>());
    }
    EXPECT_EQ(fingerprints.size(), 3u);
    EXPECT_EQ(out["rows"][1]["written"], Json({"OutZero", "OutEnd", "OutputMode", "FilterType"}));
    const std::string csv = ReadFile(Dir + "/records/job-summary.csv");
    EXPECT_NE(csv.find("\r\n2,FT-102,KVT27,1.200/160822,"), std::string::npos) << csv;

    // The converter is left as configured, and its record is what "kvt27ctl record" gives.
    EXPECT_EQ(Sim->Word(WordInputMode), 4);
    EXPECT_EQ(Sim->Word(WordLimitReaction), 2);
    Json record = Json::parse(ReadFile(Dir + "/records/FT-103.json"));
    EXPECT_EQ(record["settings"][0], Json::parse(R"({"setting": "input", "as_found": "current", "as_left": "voltage", "changed": true})"));
    std::ofstream(Dir + "/found.json") << Json{{"words", record["words"]["as_found"]}}.dump();
    std::ostringstream o, e;
    TCtlContext context{o, e, "/nonexistent", "."};
    ASSERT_EQ(RunCtl({"record", "--port", Port, "--as-found", Dir + "/found.json"}, context), ExitOk) << e.str();
    Json now = Json::parse(o.str());
    // Each converter has its session in its own history, under its row's tag, with its record.
    std::set<std::string> historyTags;
    for (const auto& file : fs::directory_iterator(Dir + "/history")) {
        const std::optional<TFingerprint> f = TFingerprint::Parse(file.path().stem().string());
        ASSERT_TRUE(f) << file.path();
        const THistory h = THistoryStore(Dir + "/history").Read(*f);
        ASSERT_EQ(h.Entries.size(), 1u);
        historyTags.insert(h.Entries[0].Labels.Tag);
        EXPECT_EQ(h.Entries[0].RecordSha256, Sha256OfFile(h.Entries[0].RecordFile));
    }
    EXPECT_EQ(historyTags, (std::set<std::string>{"FT-101", "FT-102", "FT-103"}));
    record.erase("time");
    now.erase("time");
    // The job knows the tag from its row; kvt27ctl without a history knows none.
    EXPECT_EQ(record["tag"], "FT-103");
    EXPECT_EQ(now["tag"], "");
    record.erase("tag");
    now.erase("tag");
    EXPECT_EQ(record, now);
}

TEST_F(CtlJob, AConverterPulledOutMidWriteIsToldAndTheJobResumesAtItsRow)
{
    std::ofstream(Dir + "/job.csv") << "tag,config\nFT-101,pump.kvt\nFT-102,pump.kvt\n";
    Plug(1);
    Start();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(Dir + "/records/FT-101.json"); }));
    // The next one answers its identification and load, takes two words, and goes as the third comes.
    sim::TSimulator& second = Plug(2, {.HangUpAfterFrames = 4 + 18 + 2});
    TRun r = Finish();
    EXPECT_EQ(r.Status, ExitNoAnswer) << r.Err;
    EXPECT_NE(r.Err.find("kvt27ctl: the job stopped at row 2 (FT-102): the converter failed while it was written: "),
              std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("; resume with --from 2\nkvt27ctl: FT-102: written: InZero InEnd; unknown: InputMode; not written: "
                         "OutZero OutEnd OutputMode FilterType LimitReaction\n"),
              std::string::npos) << r.Err;
    Json s = Summary();
    const Json first = s["rows"][0];
    EXPECT_EQ(s["complete"], false);
    EXPECT_EQ(s["stopped_at_row"], 2);
    EXPECT_EQ(s["rows"][0]["result"], "done");
    const Json lost = s["rows"][1];
    EXPECT_EQ(lost["result"], "failed");
    EXPECT_EQ(lost["written"], Json({"InZero", "InEnd"}));
    EXPECT_EQ(lost["unknown"], Json({"InputMode"}));
    EXPECT_EQ(lost["not_written"], Json({"OutZero", "OutEnd", "OutputMode", "FilterType", "LimitReaction"}));
    EXPECT_TRUE(lost["record"].is_null());
    EXPECT_FALSE(fs::exists(Dir + "/records/FT-102.json"));

    // The same converter plugged in again: the job goes on from its row, and keeps row 1 as it was.
    second.Stop();
    fs::remove(Port);
    second.SetFaults({});
    Plug(second);
    Start({"--from", "2"});
    r = Finish();
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    s = Summary();
    EXPECT_EQ(s["complete"], true);
    EXPECT_EQ(s["rows"][0], first);
    EXPECT_EQ(s["rows"][0]["result"], "done");
    EXPECT_EQ(s["rows"][1]["result"], "done");
    EXPECT_TRUE(fs::exists(Dir + "/records/FT-102.json"));
    EXPECT_EQ(second.Word(WordLimitReaction), 2);
    second.Stop();
}

TEST_F(CtlJob, ABadJobIsRefusedWithItsLineBeforeAnyFrame)
{
    std::ofstream(Dir + "/job.csv") << "tag,config\nFT-101,pump.kvt\nFT-102,missing.kvt\n";
    sim::TSimulator& sim = Plug(1);
    Start();
    TRun r = Finish();
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_EQ(r.Err, "kvt27ctl: " + Dir + "/job.csv:3: cannot read " + Dir + "/missing.kvt: No such file or directory\n");
    EXPECT_EQ(sim.Counters().BytesIn, 0u);
    EXPECT_FALSE(fs::exists(Dir + "/records/job-summary.json"));

    // A row past the end, and a records folder that is not there, are told before the port too.
    std::ofstream(Dir + "/job.csv") << "tag,config\nFT-101,pump.kvt\n";
    Start({"--from", "2"});
    r = Finish();
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_EQ(r.Err, "kvt27ctl: --from 2: the job has rows 1..1\n");
    EXPECT_EQ(sim.Counters().BytesIn, 0u);

    // Ctrl-C while the job waits for a converter ends it there, and says where.
    Stop = 2;
    Start();
    r = Finish();
    EXPECT_EQ(r.Status, 130) << r.Err;
    EXPECT_EQ(Summary()["stop_reason"], "stopped by Ctrl-C (SIGINT) while waiting for the converter for FT-101");
    EXPECT_EQ(Summary()["stopped_at_row"], 1);
}

TEST_F(CtlJob, CtrlCEndsTheJobBetweenTwoWordsAndSaysWhere)
{
    std::ofstream(Dir + "/job.csv") << "tag,config\nFT-101,pump.kvt\nFT-102,pump.kvt\n";
    // The first write's reply comes late: Ctrl-C arrives while it is on its way.
    ReadConstant = 1000;
    sim::TSimulator& sim = Plug(1, {.ReplyDelayMs = 500, .DelayFrame = 4 + 18 + 1});
    Start();
    ASSERT_TRUE(WaitFor([&] { return sim.Received().size() >= 4 + 18 + 1; }));
    Stop = 2;
    const TRun r = Finish();
    EXPECT_EQ(r.Status, 130) << r.Err;
    EXPECT_EQ(sim.Received().size(), 4u + 18 + 1);
    const Json s = Summary();
    EXPECT_EQ(s["stopped_at_row"], 1);
    EXPECT_EQ(s["rows"][0]["result"], "stopped");
    EXPECT_EQ(s["rows"][0]["written"], Json({"InZero"}));
    EXPECT_EQ(s["rows"][0]["not_written"].size(), 7u);
    EXPECT_EQ(s["rows"][1]["result"], "not run");
    EXPECT_NE(r.Err.find("kvt27ctl: the job stopped at row 1 (FT-101): stopped before all words were written; resume with --from 1\n"),
              std::string::npos) << r.Err;
}
