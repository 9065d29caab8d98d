// The workshop job's file, its summary and the record, without a port.
#include "model/bench_job_file.h"

#include "signal/config_error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

using namespace kvt;

namespace {

class BenchJobFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/kvt-jobfile-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Dir = dir;
        std::ofstream(Dir + "/pump.kvt") << "input = voltage\ninput-begin = 0 V\ninput-end = 10 V\noutput = current\n"
                                            "output-begin = 4 mA\noutput-end = 20 mA\nfilter = 1\nreaction = 0\n";
    }
    void TearDown() override { std::system(("rm -rf '" + Dir + "'").c_str()); }

    // The message of a job that is refused.
    std::string Refusal(const std::string& Text)
    {
        try {
            ParseJob(Text, "job.csv", Dir);
        } catch (const EConfigError& e) {
            EXPECT_EQ(e.Fault, TConfigFault::BadValue);
            return e.what();
        }
        return "accepted";
    }

    std::string Dir;
};

} // namespace

TEST_F(BenchJobFile, ReadsConfigFilesAndColumnsInEitherSeparator)
{
    const TJob job = ParseJob("# the morning's batch\n"
                              "Tag,config,input,input-begin,input-end,output,output-begin,output-end,filter,reaction\r\n"
                              "FT-101,pump.kvt,,,,,,,,\r\n"
                              "\n"
                              "\"TT 7/a\",,current,4 mA,20,voltage,\"0,5 V\",10 V,0,2\n",
                              "job.csv", Dir);
    ASSERT_EQ(job.Rows.size(), 2u);
    EXPECT_EQ(job.Rows[0].Line, 3);
    EXPECT_EQ(job.Rows[0].ConfigFile, Dir + "/pump.kvt");
    EXPECT_EQ(job.Rows[0].Profile.InputMode, 4);
    EXPECT_EQ(job.Rows[0].Profile.FilterType, 1);
    EXPECT_EQ(job.Rows[1].Line, 5);
    EXPECT_EQ(job.Rows[1].Tag, "TT 7/a");
    EXPECT_EQ(job.Rows[1].RecordName, "TT_7_a");
    EXPECT_EQ(job.Rows[1].Profile.InEnd, "20");
    EXPECT_EQ(job.Rows[1].Profile.OutBegin, "0.5");
    EXPECT_EQ(job.Rows[1].Profile.LimitReaction, 2);

    // A spreadsheet with the decimal comma writes ";".
    const TJob semi = ParseJob("tag;input;input-begin;input-end;output;output-begin;output-end;filter;reaction\n"
                               "PT-3;millivolt;-5,5 mV;50 mV;current;4,000 mA;20 mA;0;0\n",
                               "job.csv", Dir);
    EXPECT_EQ(semi.Rows[0].Profile.InBegin, "-5.5");
}

TEST_F(BenchJobFile, RefusesAMistakeWithItsLine)
{
    const std::string cols = "tag,input,input-begin,input-end,output,output-begin,output-end,filter,reaction\n";
    EXPECT_EQ(Refusal(""), "job.csv: the job file is empty (a header, then a row per converter)");
    EXPECT_EQ(Refusal("tag,config\n# none\n"), "job.csv: the job has no rows");
    EXPECT_EQ(Refusal("tag,confg\n"),
              "job.csv:1: unknown column \"confg\" (tag, config, or the configuration file's keys: input, "
              "input-begin, input-end, output, output-begin, output-end, filter, reaction)");
    EXPECT_EQ(Refusal("config\na.kvt\n"), "job.csv:1: the header has no tag column");
    EXPECT_EQ(Refusal("tag,input,filter\n"),
              "job.csv:1: the header needs a config column or every configuration column (missing: input-begin, "
              "input-end, output, output-begin, output-end, reaction)");
    EXPECT_EQ(Refusal("tag,config\nA,pump.kvt\nB\n"), "job.csv:3: expected 2 fields as in the header, got 1");
    EXPECT_EQ(Refusal("tag,config\nA,none.kvt\n"),
              "job.csv:2: cannot read " + Dir + "/none.kvt: No such file or directory");
    EXPECT_EQ(Refusal("tag,config\n,pump.kvt\n"), "job.csv:2: the tag is empty");
    EXPECT_EQ(Refusal("tag,config\nA/1,pump.kvt\n\nA_1,pump.kvt\n"),
              "job.csv:4: the tag \"A_1\" gives the same record file as the tag on line 2");
    EXPECT_EQ(Refusal("tag,config\n\"A,pump.kvt\n"), "job.csv:2: a quoted field does not end on its line");
    EXPECT_EQ(Refusal(cols + "A,current,4 mA,20 V,current,4,20,0,0\n"),
              "job.csv:2: input-end: the unit is mA, not \"V\"");
    EXPECT_EQ(Refusal(cols + "A,current,4,20,current,4,20,0,\n"), "job.csv:2: every configuration column needs a value");
    EXPECT_EQ(Refusal(cols + "A,current,4,20 # x,current,4,20,0,0\n"), "job.csv:2: input-end: \"#\" in \"20 # x\"");
    EXPECT_EQ(Refusal(cols + "A,current,4,20,current,4,20,5,0\n"), "job.csv:2: filter: expected 0, 1 or 2, got \"5\"");
    EXPECT_EQ(Refusal("tag,config,input\nA,pump.kvt,current\n"),
              "job.csv:1: the configuration's columns are incomplete (missing: input-begin, input-end, output, "
              "output-begin, output-end, filter, reaction)");
    // A fault inside a configuration file names both places.
    std::ofstream(Dir + "/bad.kvt") << "input = current\n";
    EXPECT_EQ(Refusal("tag,config\nA,bad.kvt\n"), "job.csv:2: " + Dir + "/bad.kvt: \"input-begin\" is missing");
}

TEST_F(BenchJobFile, SummaryGoesOutAsCsvAndJsonAndReadsBackForAResume)
{
    TJobSummary s;
    s.Job = "job.csv";
    s.Port = "/dev/ttyUSB0";
    auto report = [](int Row, const std::string& Tag) {
        TRowReport r;
        r.Row = Row;
        r.Line = Row + 1;
        r.Tag = Tag;
        return r;
    };
    TRowReport done = report(1, "FT-101");
    done.Result = TRowResult::Done;
    done.Model = "KVT27";
    done.Firmware = "1.200/160822";
    done.Fingerprint = "10-1200160822-00";
    done.Written = {"InZero", "InEnd"};
    done.Record = "/r/FT-101.json";
    done.Seconds = 2.04;
    TRowReport lost = report(2, "FT,102");
    lost.Result = TRowResult::Failed;
    lost.Reason = "the converter failed: \"no reply\"";
    lost.Written = {"InZero"};
    lost.Unknown = {"InEnd"};
    lost.NotWritten = {"InputMode", "FilterType"};
    s.Rows = {done, lost, report(3, "FT-103")};
    s.StoppedAtRow = 2;
    s.StopReason = lost.Reason;

    EXPECT_EQ(SummaryCsv(s),
              "row,tag,model,firmware,fingerprint,result,reason,written,unknown,not_written,record,started,finished,seconds\r\n"
              "1,FT-101,KVT27,1.200/160822,10-1200160822-00,done,,InZero InEnd,,,/r/FT-101.json,,,2.0\r\n"
              "2,\"FT,102\",,,,failed,\"the converter failed: \"\"no reply\"\"\",InZero,InEnd,InputMode FilterType,,,,0.0\r\n"
              "3,FT-103,,,,not run,,,,,,,,0.0\r\n");
    const nlohmann::ordered_json j = SummaryJson(s);
    EXPECT_EQ(j["complete"], false);
    EXPECT_EQ(j["stopped_at_row"], 2);
    EXPECT_EQ(j["rows"][1]["not_written"], nlohmann::json({"InputMode", "FilterType"}));
    EXPECT_TRUE(j["rows"][2]["model"].is_null());

    const std::vector<TRowReport> back = EarlierRows(j.dump(), "job.csv");
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].Written, done.Written);
    EXPECT_EQ(back[0].Fingerprint, done.Fingerprint);
    EXPECT_EQ(back[1].Result, TRowResult::Failed);
    EXPECT_EQ(back[1].Unknown, lost.Unknown);
    // Another job's summary, or none, gives nothing.
    EXPECT_TRUE(EarlierRows(j.dump(), "other.csv").empty());
    EXPECT_TRUE(EarlierRows("{\"rows\": 3", "job.csv").empty());

    EXPECT_EQ(SummaryPath("/r", "/jobs/morning.csv", "json"), "/r/morning-summary.json");
    TDeviceSettings d;
    d.DeviceModel = 12;
    d.FirmwareVersion = 1100;
    d.CalIn0mA = 0xABCD;
    d.CalOut10V = 1;
    EXPECT_EQ(ConverterFingerprint(d), "KVT27L-1100-ABCD000000000000000000000000" "0001");
}
