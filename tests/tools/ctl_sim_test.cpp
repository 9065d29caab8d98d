// kvt27ctl's commands against simulated converters on pseudo-terminals, in process.
#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "protocol/frame.h"
#include "serial/comport.h"
#include "tools/ctl/ctl.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace kvt;
using namespace kvt::ctl;
using namespace std::chrono_literals;
using Json = nlohmann::json;

namespace {

struct TResult {
    int Status;
    std::string Out;
    std::string Err;
};

TResult Ctl(std::vector<std::string> Args, const std::string& RegistryDir = "/nonexistent")
{
    std::ostringstream out, err;
    TCtlContext context{out, err, RegistryDir, ","};
    const int status = RunCtl(Args, context);
    return {status, out.str(), err.str()};
}

std::string ReadFile(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int Writes(const sim::TSimulator& Sim)
{
    int n = 0;
    for (const TFrame& f : Sim.Received())
        n += f[0] == CmdWriteWord;
    return n;
}

class CtlSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sim.Start();
        Port = Sim.DevicePath();
        char dir[] = "/tmp/kvt-ctl-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Dir = dir;
    }
    void TearDown() override
    {
        Sim.Stop();
        std::system(("rm -rf '" + Dir + "'").c_str());
    }

    sim::TSimulator Sim;
    std::string Port;
    std::string Dir;
};

} // namespace

TEST_F(CtlSim, InfoShowsTheIdentification)
{
    Sim.SetFirmwareVersion(1200160822);
    Sim.SetConfigType(3);
    TResult r = Ctl({"info", "--port", Port});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Out.find("model          KVT27\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("firmware       1.200/160822\n"), std::string::npos);
    EXPECT_NE(r.Out.find("temperature    25 \xC2\xB0" "C\n"), std::string::npos);
    EXPECT_NE(r.Out.find("3  4 - 20 mA DC na 0 - 20 mA DC"), std::string::npos);

    Sim.SetModel(ModelKVT27L);
    Sim.SetConfigType(13);
    Sim.ClearReceived();
    r = Ctl({"info", "--json", "--port=" + Port});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    const Json j = Json::parse(r.Out);
    EXPECT_EQ(j["model"], "KVT27L");
    EXPECT_TRUE(j["temperature_c"].is_null());
    EXPECT_EQ(j["config_text"].get<std::string>().rfind("Not allowed configuration!", 0), 0u);
    // A KVT27L is not asked for its temperature.
    for (const TFrame& f : Sim.Received())
        EXPECT_NE(f[0], CmdReadTemperature);
}

TEST_F(CtlSim, ReadShowsWordsAndRangesAsTheProgramDoes)
{
    Sim.SetWord(WordInputMode, 5);
    Sim.SetWord(WordInZero, 32768 + 6917); // 123.5 mV
    Sim.SetWord(WordInEnd, 65535);
    Sim.SetWord(WordOutputMode, 4);
    Sim.SetWord(WordOutZero, 120 + 1580); // 1 V
    Sim.SetWord(WordOutEnd, 15920);       // 10 V
    const TResult r = Ctl({"read", "-p", Port});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Out.find("      4  InputMode          5  millivolt input"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("    144  CalOut10V      15920\n"), std::string::npos);
    // Labels with the user's separator, the numeric fields with the masks' comma.
    EXPECT_NE(r.Out.find("input range    123,5 mV .. 585 mV   (numeric entry 0123,5 .. 0585,0 mV)"), std::string::npos);
    EXPECT_NE(r.Out.find("output range   01,000 .. 10,000 V"), std::string::npos);

    const TResult r2 = Ctl({"read", "--json", "--port", Port});
    ASSERT_EQ(r2.Status, ExitOk) << r2.Err;
    const Json j = Json::parse(r2.Out);
    EXPECT_EQ(j["words"]["InZero"], 39685);
    EXPECT_EQ(j["words"].size(), 16u);
    EXPECT_EQ(j["input"], Json::parse(R"({"kind": "millivolt", "unit": "mV", "begin": 123.49, "end": 584.98})"));
    EXPECT_EQ(j["output"], Json::parse(R"({"kind": "voltage", "unit": "V", "begin": 1.0, "end": 10.0})"));
}

TEST_F(CtlSim, WriteChecksTheValueAndNeverTouchesCalibration)
{
    TResult r = Ctl({"write", "--port", Port, "OutputMode", "4"});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(r.Out, "OutputMode (6): 3 -> 4  voltage output 0-10 V\n");
    EXPECT_EQ(Sim.Word(WordOutputMode), 4);

    Sim.ClearReceived();
    r = Ctl({"write", "--port", Port, "FilterType", "3"});
    EXPECT_EQ(r.Status, ExitUsage);
    r = Ctl({"write", "--port", Port, "CalIn20mA", "1"});
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_NE(r.Err.find("never written"), std::string::npos);
    // Out of range on any converter: refused before the port is opened.
    EXPECT_TRUE(Sim.Received().empty());

    Sim.SetModel(ModelKVT27L);
    r = Ctl({"write", "--port", Port, "OutEnd", "8192"});
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_NE(r.Err.find("8191"), std::string::npos);
    r = Ctl({"write", "--port", Port, "InputMode", "5"});
    EXPECT_EQ(r.Status, ExitRefused);
    EXPECT_EQ(Writes(Sim), 0);
    EXPECT_EQ(Sim.Word(WordInputMode), 3);

    // An input word on old firmware: written, with the program's power-cycle note.
    Sim.SetFirmwareVersion(1300000000);
    r = Ctl({"write", "--port", Port, "inend", "60000"});
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_EQ(Sim.Word(WordInEnd), 60000);
    EXPECT_NE(r.Err.find("Please turn-off and turn-on"), std::string::npos);
}

TEST_F(CtlSim, MeasureOnceAndRecordToTheProgramsCsv)
{
    sim::TSignal s;
    s.Value = 12;
    Sim.SetSignal(s);
    TResult r = Ctl({"measure", "--port", Port});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(r.Out, "12000 uA\n");

    const std::string csv = Dir + "/log.csv";
    r = Ctl({"measure", "--port", Port, "--count", "3", "--period", "0.1", "--csv", csv});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(r.Out, "12000 uA\n12000 uA\n12000 uA\n");
    EXPECT_EQ(ReadFile(csv), "0.1 sec;\r\n12000;\r\n12000;\r\n12000;\r\n");

    // On a terminal the progress goes to standard error.
    std::ostringstream out, err;
    TCtlContext terminal{out, err, "/nonexistent", ","};
    terminal.ErrIsTerminal = true;
    ASSERT_EQ(RunCtl({"measure", "--port", Port, "--count", "2", "--period", "0.1"}, terminal), ExitOk);
    EXPECT_EQ(err.str(), "\r1 of 2\r2 of 2\n");

    // A period of the program's list takes its text; the millivolt input keeps one decimal.
    Sim.SetWord(WordInputMode, 5);
    s.Unit = sim::TSignalUnit::MilliVolt;
    s.Value = -3.5;
    Sim.SetSignal(s);
    r = Ctl({"measure", "--port", Port, "--count", "1", "--period", "1", "--csv", csv});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(ReadFile(csv), "1 sec;\r\n-3,5;\r\n");
}

TEST_F(CtlSim, ARecordingThatLosesTheLineKeepsItsSamples)
{
    const std::string csv = Dir + "/lost.csv";
    // Identify, version, temperature, configuration, eighteen reads, the first reading, two samples.
    sim::TFaults f;
    f.HangUpAfterFrames = 4 + 18 + 1 + 2;
    Sim.SetFaults(f);
    const TResult r = Ctl({"measure", "--port", Port, "--count", "5", "--period", "0.1", "--csv", csv});
    EXPECT_EQ(r.Status, ExitNoAnswer) << r.Err;
    EXPECT_NE(r.Err.find("; 2 samples taken are in " + csv), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(csv), "0.1 sec;\r\n12000;\r\n12000;\r\n");

    // With no sample taken (the first reading lost), the file from before stays as it was.
    Sim.Stop();
    Sim.Start();
    Sim.SetFaults({.NoReplyToCommand = CmdMeasure});
    const TResult none = Ctl({"measure", "--port", Sim.DevicePath(), "--count", "5", "--period", "0.1", "--csv", csv});
    EXPECT_EQ(none.Status, ExitNoAnswer);
    EXPECT_NE(none.Err.find("0 samples taken; " + csv + " was left as it was"), std::string::npos) << none.Err;
    EXPECT_EQ(ReadFile(csv), "0.1 sec;\r\n12000;\r\n12000;\r\n");

    // A file that cannot be written is told before the first frame.
    Sim.ClearReceived();
    const TResult bad = Ctl({"measure", "--port", Sim.DevicePath(), "--count", "5", "--csv", Dir + "/none/rec.csv"});
    EXPECT_EQ(bad.Status, ExitFailure);
    EXPECT_NE(bad.Err.find("cannot write " + Dir + "/none/rec.csv: The folder does not exist"), std::string::npos)
        << bad.Err;
    EXPECT_TRUE(Sim.Received().empty());
}

TEST_F(CtlSim, JsonOfEveryCommandHasItsDocumentedShape)
{
    auto json = [&](std::vector<std::string> Args) {
        Args.push_back("--json");
        Args.push_back("--port=" + Port);
        const TResult r = Ctl(Args);
        EXPECT_EQ(r.Status, ExitOk) << r.Err;
        return Json::parse(r.Out);
    };
    EXPECT_EQ(json({"write", "FilterType", "2"}),
              Json::parse(R"j({"word": "FilterType", "address": 8, "old": 0, "new": 2,
                               "meaning": "polynomial filter (about 400 ms)", "power_cycle_needed": false})j"));
    EXPECT_EQ(json({"measure"}), Json::parse(R"({"raw": 50000, "value": 12000, "unit": "uA"})"));
    const Json saved = json({"save", "-"});
    EXPECT_TRUE(saved["file"].is_null());
    EXPECT_EQ(saved["configuration"]["input_begin"], 4.0);
    EXPECT_EQ(saved["configuration"]["filter"], 2);

    const std::string file = Dir + "/c.kvt";
    ASSERT_EQ(Ctl({"save", "--port", Port, file}).Status, ExitOk);
    Sim.SetWord(WordFilterType, 0);
    const Json plan = json({"apply", "--dry-run", file});
    EXPECT_EQ(plan["dry_run"], true);
    EXPECT_EQ(plan["words"].size(), 8u);
    EXPECT_EQ(plan["words"][6], Json::parse(R"({"word": "FilterType", "address": 8, "old": 0, "new": 2,
                                                 "action": "would write", "note": ""})"));
    EXPECT_EQ(Sim.Word(WordFilterType), 0) << "a dry run writes nothing";
    // A recording prints one object a line; a port whose name is not UTF-8 still gives valid JSON.
    const TResult rec = Ctl({"measure", "--json", "--port", Port, "--count", "2", "--period", "0.1"});
    EXPECT_EQ(Json::parse(rec.Out.substr(rec.Out.find('\n') + 1))["sample"], 2);
    const TResult odd = Ctl({"info", "--json", "--port", Dir + "/\xFF"});
    EXPECT_EQ(odd.Status, ExitPortOpen);
}

TEST_F(CtlSim, ARecordSetsAsFoundBesideAsLeftAndTheTraceShowsEveryFrame)
{
    const std::string found = Dir + "/found.json";
    std::ofstream(found) << Ctl({"read", "--json", "--port", Port}).Out;
    ASSERT_EQ(Ctl({"write", "--port", Port, "FilterType", "2"}).Status, ExitOk);
    ASSERT_EQ(Ctl({"write", "--port", Port, "InputMode", "4"}).Status, ExitOk);
    const TResult r = Ctl({"record", "--port", Port, "--as-found", found, "--trace"});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    const Json j = Json::parse(r.Out);
    EXPECT_EQ(j["model"], "KVT27");
    EXPECT_EQ(j["settings"][0], Json::parse(R"({"setting": "input", "as_found": "current", "as_left": "voltage",
                                                "changed": true})"));
    EXPECT_EQ(j["settings"][1]["as_found"], "4.000 mA") << "a range whose kind changed carries its unit";
    EXPECT_EQ(j["settings"][6], Json::parse(R"({"setting": "filter", "as_found": 0, "as_left": 2, "changed": true})"));
    EXPECT_EQ(j["words"]["as_found"]["FilterType"], 0);
    EXPECT_EQ(j["words"]["as_left"]["FilterType"], 2);
    // The trace: each request and its reply, identification first.
    EXPECT_NE(r.Err.find("  >  FF "), std::string::npos) << r.Err;
    EXPECT_LT(r.Err.find("identify, station"), r.Err.find("identify reply: station echo"));
    EXPECT_NE(r.Err.find("read word 144 (CalOut10V)"), std::string::npos);

    // A record of another converter's words is refused.
    Sim.SetWord(WordCalIn0mA, 31000);
    EXPECT_EQ(Ctl({"record", "--port", Port, "--as-found", found}).Status, ExitRefused);
}

TEST_F(CtlSim, StoppingAnApplyListsWhatWasWrittenAndWhatNot)
{
    const std::string file = Dir + "/c.kvt";
    std::ofstream(file) << "input = voltage\ninput-begin = 1\ninput-end = 9\noutput = voltage\n"
                           "output-begin = 1\noutput-end = 9\nfilter = 1\nreaction = 0\n";
    // Ctrl-C as the second word goes out: that one is finished, the rest is not started.
    std::atomic<int> stop{0};
    std::atomic<int> writes{0};
    Sim.SetTrace([&](const std::string& Line) {
        if (Line.find("rx ") != std::string::npos && Line.find("write word") != std::string::npos && ++writes == 2)
            stop = 2;
    });
    std::ostringstream out, err;
    TCtlContext context{out, err, "/nonexistent", ","};
    context.Stop = &stop;
    EXPECT_EQ(RunCtl({"apply", "--port", Port, file}, context), 130);
    EXPECT_EQ(Writes(Sim), 2);
    EXPECT_NE(err.str().find("stopped by Ctrl-C (SIGINT)\nkvt27ctl: written: InZero, InEnd; not written: InputMode, "
                             "OutZero, OutEnd, OutputMode, FilterType"),
              std::string::npos)
        << err.str();
    EXPECT_NE(out.str().find("InputMode        4  not written 4 (still 3)"), std::string::npos) << out.str();
}

TEST_F(CtlSim, ALateReplyFromAnEarlierRunIsNeverTakenAsAnAnswer)
{
    // The reply to the first run comes a second late, while the second run waits for its own.
    Sim.SetFaults({.ReplyDelayMs = 1000});
    EXPECT_EQ(Ctl({"info", "--port", Port}).Status, ExitNoAnswer);
    Sim.SetFaults({});
    const TResult r = Ctl({"info", "--port", Port});
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
}

TEST_F(CtlSim, SaveOnOneCalibrationApplyOnAnother)
{
    Sim.SetWord(WordInZero, 32000 + 4 * 1500 + 750); // 4.5 mA
    Sim.SetWord(WordOutputMode, 4);
    Sim.SetWord(WordOutZero, 120 + 790 * 2);          // 1 V with 1580 codes per volt
    Sim.SetWord(WordOutEnd, 120 + 790 * 18);          // 9 V
    Sim.SetWord(WordFilterType, 2);
    const std::string file = Dir + "/conv.kvt";
    TResult r = Ctl({"save", "--port", Port, file});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    const std::string saved = ReadFile(file);
    EXPECT_NE(saved.find("input = current\ninput-begin = 4.500 mA\ninput-end = 20.000 mA\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("output = voltage\noutput-begin = 1.000 V\noutput-end = 9.000 V\n"), std::string::npos);
    EXPECT_NE(saved.find("filter = 2"), std::string::npos);

    sim::TConverterConfig other;
    other.Words[WordCalIn0mA] = 30000;
    other.Words[WordCalIn20mA] = 62000; // 1600 counts per mA
    other.Words[WordCalOut0V] = 100;
    other.Words[WordCalOut10V] = 16100; // 1600 codes per volt
    other.Words[WordInputMode] = 4;
    sim::TSimulator second(other);
    second.Start();

    r = Ctl({"apply", "--dry-run", "--port", second.DevicePath(), file});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Out.find("InZero          10  would write 37200 (was 38000)"), std::string::npos) << r.Out;
    EXPECT_EQ(Writes(second), 0);

    r = Ctl({"apply", "--port", second.DevicePath(), file});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(second.Word(WordInZero), 37200);
    EXPECT_EQ(second.Word(WordInEnd), 62000);
    EXPECT_EQ(second.Word(WordInputMode), 3);
    EXPECT_EQ(second.Word(WordOutZero), 1700);
    EXPECT_EQ(second.Word(WordOutEnd), 14500);
    EXPECT_EQ(second.Word(WordOutputMode), 4);
    EXPECT_EQ(second.Word(WordFilterType), 2);
    EXPECT_EQ(second.Word(WordCalIn0mA), 30000);
    // Unchanged words (InEnd, LimitReaction) are not written again.
    EXPECT_EQ(Writes(second), 6);

    // The second converter now shows the same ranges.
    const TResult again = Ctl({"save", "--port", second.DevicePath(), "-"});
    ASSERT_EQ(again.Status, ExitOk) << again.Err;
    EXPECT_NE(again.Out.find("input-begin = 4.500 mA\n"), std::string::npos) << again.Out;
    EXPECT_NE(again.Out.find("output-end = 9.000 V\n"), std::string::npos);
    second.Stop();
}

TEST_F(CtlSim, AFileThatDoesNotParseOrDoesNotFitWritesNothing)
{
    const std::string file = Dir + "/bad.kvt";
    std::ofstream(file) << "input = current\ninput-begin = 4 mA\ninput-end = 21 mA\noutput = current\n"
                           "output-begin = 4\noutput-end = 20\nfilter = 0\nreaction = 0\n";
    TResult r = Ctl({"apply", "--port", Port, file});
    EXPECT_EQ(r.Status, ExitUsage);
    EXPECT_NE(r.Err.find(file + ":3: input-end 21 mA is outside the valid range -20.5 .. 20.5 mA"), std::string::npos) << r.Err;
    EXPECT_TRUE(Sim.Received().empty());

    // Parses, but the DIP switches of this converter choose a voltage input.
    std::ofstream(file) << "input = current\ninput-begin = 4 mA\ninput-end = 20 mA\noutput = current\n"
                           "output-begin = 4\noutput-end = 20\nfilter = 0\nreaction = 0\n";
    Sim.SetConfigType(5);
    r = Ctl({"apply", "--port", Port, file});
    EXPECT_EQ(r.Status, ExitRefused);
    EXPECT_NE(r.Err.find("DIP switches"), std::string::npos) << r.Err;
    EXPECT_EQ(Writes(Sim), 0);

    r = Ctl({"apply", "--port", Port, Dir + "/missing.kvt"});
    EXPECT_EQ(r.Status, ExitUsage);
}

TEST_F(CtlSim, FailuresHaveTheirOwnStatus)
{
    sim::TFaults f;
    f.Mute = true;
    Sim.SetFaults(f);
    TResult r = Ctl({"info", "--port", Port});
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_NE(r.Err.find("the converter on " + Port + " failed: no reply to identify"), std::string::npos) << r.Err;

    f = {};
    f.WrongStation = true;
    Sim.SetFaults(f);
    r = Ctl({"info", "--port", Port});
    EXPECT_EQ(r.Status, ExitNotConverter);

    Sim.SetFaults({});
    Sim.SetModel(7);
    r = Ctl({"read", "--port", Port});
    EXPECT_EQ(r.Status, ExitNotConverter);
    EXPECT_NE(r.Err.find("model 7"), std::string::npos);

    // The settings load must read every word: a withheld one is a converter that does not answer.
    Sim.SetModel(ModelKVT27);
    f = {};
    f.NoReplyToWord = WordCalOut0V;
    Sim.SetFaults(f);
    r = Ctl({"read", "--port", Port});
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_NE(r.Err.find("no reply to read word 142 (CalOut0V) (asked twice)"), std::string::npos) << r.Err;

    Sim.SetFaults({});
    Sim.SetConfigType(12);
    r = Ctl({"save", "--port", Port, "-"});
    EXPECT_EQ(r.Status, ExitRefused);
    EXPECT_NE(r.Err.find("Not allowed configuration!"), std::string::npos);

    r = Ctl({"info", "--port", Dir + "/no-such-port"});
    EXPECT_EQ(r.Status, ExitPortOpen);
    EXPECT_NE(r.Err.find("cannot open port " + Dir + "/no-such-port: No such file or directory."), std::string::npos) << r.Err;
}

TEST(CtlArgs, BadArgumentsAndHelp)
{
    EXPECT_EQ(Ctl({}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"frobnicate"}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"info"}).Status, ExitUsage); // no port
    EXPECT_EQ(Ctl({"info", "--port", "x", "--count", "2"}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"write", "--port", "x", "InZero"}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"write", "--port", "x", "InZero", "70000"}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"write", "--port", "x", "InZero", "-1"}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"measure", "--port", "x", "--count", "0"}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"measure", "--port", "x", "--count", "2", "--period", "0.05"}).Status, ExitUsage);
    EXPECT_EQ(Ctl({"measure", "--port", "x", "--period", "2"}).Status, ExitUsage);
    // An empty value is a mistake, not an option left out.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"measure", "--port", "x", "--count", ""}, {"measure", "--port", "x", "--csv", ""}, {"info", "--port="}}) {
        const TResult r = Ctl(args);
        EXPECT_EQ(r.Status, ExitUsage) << args.back();
        EXPECT_NE(r.Err.find("an empty one is none"), std::string::npos) << r.Err;
    }
    // Long values are cut in messages.
    EXPECT_LT(Ctl({"write", "--port", "x", std::string(100000, 'A'), "1"}).Err.size(), 200u);

    const TResult help = Ctl({"--help"});
    EXPECT_EQ(help.Status, ExitOk);
    EXPECT_NE(help.Out.find("Exit status:"), std::string::npos);
    for (const char* cmd : {"ports", "info", "read", "write", "measure", "save", "apply"}) {
        const TResult r = Ctl({cmd, "--help"});
        EXPECT_EQ(r.Status, ExitOk) << cmd;
        EXPECT_NE(r.Out.find(std::string("Usage: kvt27ctl ") + cmd), std::string::npos) << cmd;
        EXPECT_EQ(Ctl({"help", cmd}).Out, r.Out);
    }
}

namespace {

// Every word its own value, each neighbour in the load's order different, all of them valid.
void DistinctWords(sim::TSimulator& Sim)
{
    const std::pair<uint8_t, uint16_t> words[] = {{WordInputMode, 3},   {WordOutputMode, 4}, {WordOutZero, 1700},
        {WordOutEnd, 15000},   {WordFilterType, 1},   {WordCalIn0mA, 32000}, {WordCalIn20mA, 62000},
        {WordCalIn0V, 32001},  {WordCalIn10V, 60000}, {WordInZero, 38000},   {WordInEnd, 61990},
        {WordLimitReaction, 2}, {WordCalOut0mA, 100}, {WordCalOut20mA, 16100}, {WordCalOut0V, 120},
        {WordCalOut10V, 15920}};
    for (const auto& [address, value] : words)
        Sim.SetWord(address, value);
}

// A run whose line has a sixteenth of the converter's time limits: a reply's time is 50 ms.
TResult QuickCtl(std::vector<std::string> Args)
{
    std::ostringstream out, err;
    TCtlContext context{out, err, "/nonexistent", ","};
    context.PortSetup = [](TComPort& P) {
        P.Timeouts().SetReadMultiplier(5);
        P.Timeouts().SetReadConstant(15);
    };
    const int status = RunCtl(Args, context);
    return {status, out.str(), err.str()};
}

// Standard output that takes Limit characters and then fails, as a pipe whose reader went away.
class TFailingBuf : public std::stringbuf {
public:
    explicit TFailingBuf(std::size_t Limit) : FLimit(Limit) {}

protected:
    std::streamsize xsputn(const char* S, std::streamsize N) override
    {
        if (str().size() + static_cast<std::size_t>(N) > FLimit)
            return 0;
        return std::stringbuf::xsputn(S, N);
    }
    int_type overflow(int_type C) override { return str().size() >= FLimit ? traits_type::eof() : std::stringbuf::overflow(C); }

private:
    std::size_t FLimit;
};

} // namespace

TEST_F(CtlSim, ALateReplyAtAnyRowOfTheLoadChangesNoResult)
{
    DistinctWords(Sim);
    const std::string own = Dir + "/own.kvt", again = Dir + "/again.kvt";
    const TResult read = QuickCtl({"read", "--json", "--port", Port});
    ASSERT_EQ(read.Status, ExitOk) << read.Err;
    ASSERT_EQ(QuickCtl({"save", "--port", Port, own}).Status, ExitOk);
    auto recordWords = [](const std::string& Out) { return Json::parse(Out)["words"].dump(); };
    const TResult record = QuickCtl({"record", "--port", Port});
    ASSERT_EQ(record.Status, ExitOk) << record.Err;

    const double lateness[] = {0.8, 1.0, 1.2, 1.6};
    for (int row = 1; row <= 18; ++row) {
        const int late = static_cast<int>(lateness[row % 4] * 50);
        SCOPED_TRACE(testing::Message() << "row " << row << ", " << late << " ms late");
        // The identification takes four frames; the load's rows follow.
        auto lateAt = [&] { Sim.SetFaults({.ReplyDelayMs = late, .DelayFrame = static_cast<int>(Sim.Counters().Frames) + 4 + row}); };
        lateAt();
        TResult r = QuickCtl({"read", "--json", "--port", Port});
        EXPECT_EQ(r.Status, ExitOk) << r.Err;
        EXPECT_EQ(r.Out, read.Out);
        lateAt();
        r = QuickCtl({"record", "--port", Port});
        EXPECT_EQ(r.Status, ExitOk) << r.Err;
        EXPECT_EQ(recordWords(r.Out), recordWords(record.Out));
        lateAt();
        r = QuickCtl({"save", "--port", Port, again});
        EXPECT_EQ(r.Status, ExitOk) << r.Err;
        EXPECT_EQ(ReadFile(again), ReadFile(own));
        lateAt();
        Sim.ClearReceived();
        r = QuickCtl({"apply", "--port", Port, own});
        EXPECT_EQ(r.Status, ExitOk) << r.Err;
        EXPECT_EQ(Writes(Sim), 0) << r.Out;
    }
}

TEST_F(CtlSim, NothingIsTakenFromALoadThatWasNotClean)
{
    DistinctWords(Sim);
    // Every read answered 900 ms late: no word is certain, so nothing is reported or written.
    Sim.SetFaults({.OnlyCommand = CmdReadWord, .ReplyDelayMs = 900});
    TResult r = Ctl({"read", "--json", "--port", Port});
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_EQ(r.Out, "");
    EXPECT_NE(r.Err.find("no reply to read word 4 (InputMode)"), std::string::npos) << r.Err;

    // One reply a second late, at the load's fifth read, while the converter holds what the file
    // says: apply writes nothing.
    Sim.SetFaults({});
    const std::string own = Dir + "/own.kvt";
    ASSERT_EQ(Ctl({"save", "--port", Port, own}).Status, ExitOk);
    Sim.SetFaults({.ReplyDelayMs = 1000, .DelayFrame = static_cast<int>(Sim.Counters().Frames) + 4 + 5});
    Sim.ClearReceived();
    r = Ctl({"apply", "--port", Port, own});
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(Writes(Sim), 0) << r.Out;
}

TEST_F(CtlSim, AWriteWhoseReplyIsLostIsUnknownAndReadBack)
{
    const std::string file = Dir + "/c.kvt";
    std::ofstream(file) << "input = current\ninput-begin = 2\ninput-end = 20\noutput = current\n"
                           "output-begin = 4\noutput-end = 20\nfilter = 1\nreaction = 0\n";
    Sim.SetFirmwareVersion(1300000000);
    Sim.SetFaults({.NoReplyToCommand = CmdWriteWord});
    TResult r = QuickCtl({"apply", "--port", Port, file});
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_NE(r.Out.find("InZero          10  unknown 35000: may have been stored (it holds 35000)"), std::string::npos) << r.Out;
    EXPECT_NE(r.Err.find("written: none; unknown: InZero may have been stored (it holds 35000); not written: FilterType"),
              std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("turn-off and turn-on"), std::string::npos) << "the range may be stored: " << r.Err;
    Sim.SetWord(WordInZero, 38000);
    r = QuickCtl({"apply", "--json", "--port", Port, file});
    const Json j = Json::parse(r.Out);
    EXPECT_EQ(j["words"][0]["action"], "unknown");
    EXPECT_EQ(j["words"][0]["holds"], 35000);
    EXPECT_EQ(j["power_cycle_needed"], true);

    r = QuickCtl({"write", "--port", Port, "InZero", "36000"});
    EXPECT_EQ(r.Status, ExitNoAnswer);
    EXPECT_NE(r.Err.find("unknown: may have been stored (it holds 36000)"), std::string::npos) << r.Err;
}

TEST_F(CtlSim, AnApplyWhoseOutputGoesAwayFinishesItsWrites)
{
    const std::string file = Dir + "/c.kvt";
    std::ofstream(file) << "input = voltage\ninput-begin = 1\ninput-end = 9\noutput = voltage\n"
                           "output-begin = 1\noutput-end = 9\nfilter = 1\nreaction = 0\n";
    TFailingBuf buf(30);
    std::ostream out(&buf);
    std::ostringstream err;
    TCtlContext context{out, err, "/nonexistent", ","};
    EXPECT_EQ(RunCtl({"apply", "--port", Port, file}, context), ExitFailure);
    EXPECT_EQ(Writes(Sim), 7);
    EXPECT_EQ(Sim.Word(WordFilterType), 1);
    EXPECT_NE(err.str().find("cannot write the results to standard output"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("written: InZero, InEnd, InputMode, OutZero, OutEnd, OutputMode, FilterType; not written: none"),
              std::string::npos) << err.str();
}

TEST_F(CtlSim, SaveRefusesWhatApplyWouldAndAConvertersOwnFileWritesNothing)
{
    struct TCase {
        std::vector<std::pair<uint8_t, uint16_t>> Words;
        int Status;
        std::string Reason;
    };
    const TCase cases[] = {
        {{{WordInZero, 0}}, ExitUsage, "input-begin -21.333 mA is outside the valid range -20.5 .. 20.5 mA"},
        {{{WordOutEnd, 16940}}, ExitUsage, "output-end 21.050 mA is above the highest 21 mA"},
        {{{WordCalIn20mA, 32000}}, ExitUsage, "give the same input word 32000 on this converter: the range has no width"},
    };
    for (const TCase& c : cases) {
        sim::TSimulator sim;
        sim.Start();
        for (const auto& [address, value] : c.Words)
            sim.SetWord(address, value);
        const TResult r = Ctl({"save", "--port", sim.DevicePath(), Dir + "/x.kvt"});
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_NE(r.Err.find(c.Reason), std::string::npos) << r.Err;
        EXPECT_FALSE(std::ifstream(Dir + "/x.kvt").good());
    }

    // A range word one count off what its file value gives, and DIP switches that set the kinds
    // while the unused kind words say otherwise: the converter's own file still writes nothing.
    Sim.SetWord(WordInZero, 38001);
    Sim.SetConfigType(2); // 0-20 mA to 0-10 V
    Sim.SetWord(WordOutputMode, 3);
    const std::string own = Dir + "/own.kvt";
    ASSERT_EQ(Ctl({"save", "--port", Port, own}).Status, ExitOk);
    Sim.ClearReceived();
    const TResult r = Ctl({"apply", "--port", Port, own});
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(Writes(Sim), 0) << r.Out;
    EXPECT_NE(r.Out.find("unchanged at the file's precision"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("unused: the DIP switches set the output kind"), std::string::npos) << r.Out;
}
