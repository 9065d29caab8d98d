#include "protocol/device_settings.h"
#include "protocol/identity.h"
#include "tools/sim/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

using namespace kvt;
using namespace kvt::sim;

TEST(SimOptions, CommandLine)
{
    const TSimSetup s = ParseSimArgs({"--word", "CalOut0mA=5", "--model", "KVT27L", "--firmware=2147483648",
        "--config-type", "3", "--temperature", "30", "--no-reply-command", "read-word", "--bad-crc",
        "--fault-command", "232", "--line-speed", "4800", "--trace", "--word", "200=7", "--hang-up-after", "4"});
    EXPECT_EQ(s.Converter.Model, ModelKVT27L);
    EXPECT_EQ(s.Converter.FirmwareVersion, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(s.Converter.ConfigType, 3);
    EXPECT_EQ(TemperatureCelsius(s.Converter.TemperatureRaw), 30);
    // Word overrides win over the model's defaults whatever their order.
    EXPECT_EQ(s.Converter.Words[WordCalOut0mA], 5);
    EXPECT_EQ(s.Converter.Words[WordCalOut20mA], DefaultWords(ModelKVT27L)[WordCalOut20mA]);
    EXPECT_EQ(s.Converter.Words[200], 7);
    EXPECT_EQ(s.Faults.NoReplyToCommand, 25);
    EXPECT_TRUE(s.Faults.BadCrc);
    EXPECT_EQ(s.Faults.OnlyCommand, 232);
    EXPECT_EQ(s.Faults.LineBaud, 4800);
    EXPECT_EQ(s.Faults.HangUpAfterFrames, 4);
    EXPECT_TRUE(s.Trace);
    EXPECT_FALSE(s.Help);

    const TSimSetup d = ParseSimArgs({});
    EXPECT_EQ(d.Converter.Model, ModelKVT27);
    EXPECT_EQ(d.Converter.FirmwareVersion, 1200160822);
    EXPECT_EQ(d.Converter.ConfigType, 15);
    EXPECT_EQ(d.Converter.Words[WordCalIn0mA], 32000);
    EXPECT_TRUE(ParseSimArgs({"-h"}).Help);
}

TEST(SimOptions, ConfigFile)
{
    const std::string path = ::testing::TempDir() + "kvt27-sim-test.conf";
    {
        std::ofstream f(path);
        f << "# a KVT27 in DIP configuration 2\n"
             "model = KVT27\n"
             "config-type = 2   # 0-20 mA to 0-10 V\n"
             "InputMode = 4\n"
             "word.OutEnd = 16000\n"
             "word.150 = 0x10\n"
             "signal = ramp\n"
             "signal-unit = V\n"
             "signal-low = 1\n"
             "signal-high = 9.5\n"
             "signal-period = 30\n"
             "\n"
             "swap-crc\n"
             "split-at = 3\n"
             "split-pause-ms = 20\n";
    }
    const TSimSetup s = ParseSimArgs({"--config", path, "--signal-period", "15"});
    std::remove(path.c_str());
    EXPECT_EQ(s.Converter.ConfigType, 2);
    EXPECT_EQ(s.Converter.Words[WordInputMode], 4);
    EXPECT_EQ(s.Converter.Words[WordOutEnd], 16000);
    EXPECT_EQ(s.Converter.Words[150], 16);
    EXPECT_EQ(s.Converter.Signal.Shape, TSignalShape::Ramp);
    EXPECT_EQ(s.Converter.Signal.Unit, TSignalUnit::Volt);
    EXPECT_DOUBLE_EQ(s.Converter.Signal.High, 9.5);
    EXPECT_DOUBLE_EQ(s.Converter.Signal.PeriodS, 15);
    EXPECT_TRUE(s.Faults.SwapCrc);
    EXPECT_EQ(s.Faults.SplitAt, 3);
    EXPECT_EQ(s.Faults.SplitPauseMs, 20);
}

TEST(SimOptions, ReadableErrors)
{
    auto message = [](std::vector<std::string> args) -> std::string {
        try {
            ParseSimArgs(args);
        } catch (const TSimOptionError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(message({"--frobnicate"}), "unknown setting \"frobnicate\" (see --help)");
    EXPECT_EQ(message({"--config-type", "70000"}), "config-type: expected a whole number from 0 to 65535, got \"70000\"");
    EXPECT_EQ(message({"--model"}), "--model: a value is missing");
    EXPECT_EQ(message({"--word", "Nope=3"}), "word: expected a whole number from 0 to 255, got \"Nope\"");
    EXPECT_EQ(message({"--config", "/nonexistent/kvt.conf"}), "config: cannot read /nonexistent/kvt.conf: No such file or directory");
    // An empty value is never taken as absent; every number has its range; long values are cut.
    EXPECT_EQ(message({"--link", ""}), "link: the value is empty");
    EXPECT_EQ(message({"--model="}), "model: the value is empty");
    EXPECT_EQ(message({"--trace="}), "trace: the value is empty");
    EXPECT_EQ(message({"--signal-period", "0"}), "signal-period: expected a number from 0.001 to 1e+06, got \"0\"");
    EXPECT_EQ(message({"--signal-value", "inf"}), "signal-value: expected a number from -1e+06 to 1e+06, got \"inf\"");
    EXPECT_EQ(message({"--temperature", "nan"}), "temperature: expected a number from -273 to 1000, got \"nan\"");
    EXPECT_EQ(message({"--model", std::string(1 << 20, 'K')}),
        "model: expected a whole number from 0 to 255, got \"" + std::string(40, 'K') + "...\"");
    EXPECT_EQ(ParseSimArgs({"--config-type", "010"}).Converter.ConfigType, 10) << "no octal";

    // File errors name the file and the line.
    TSimOptions o;
    EXPECT_THROW(o.ParseText("model = KVT27\nconfig-type\n", "f.conf"), TSimOptionError);
    try {
        o.ParseText("model = KVT27\nsplit-at = 9\n", "f.conf");
        ADD_FAILURE() << "no error";
    } catch (const TSimOptionError& e) {
        EXPECT_EQ(std::string(e.what()), "f.conf:2: split-at: expected a whole number from 0 to 6, got \"9\"");
    }
}

TEST(SimOptions, ConfigFilesAreReadSafelyAndMayNotIncludeThemselves)
{
    char pattern[] = "/tmp/kvt-simconf-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    auto write = [&](const std::string& Name, const std::string& Text) {
        std::ofstream(dir + "/" + Name) << Text;
        return dir + "/" + Name;
    };
    auto message = [](std::vector<std::string> args) -> std::string {
        try {
            ParseSimArgs(args);
        } catch (const TSimOptionError& e) {
            return e.what();
        }
        return "no error";
    };
    const std::string bom = write("bom.conf", "\xEF\xBB\xBFmodel = KVT27L\n");
    EXPECT_EQ(ParseSimArgs({"--config", bom}).Converter.Model, ModelKVT27L);
    EXPECT_EQ(message({"--config", dir}), "config: cannot read " + dir + ": Is a folder");

    const std::string self = write("self.conf", "config = " + dir + "/self.conf\n");
    EXPECT_EQ(message({"--config", self}), self + ":1: config: " + self + " is already being read (" + self + " -> " + self + ")");
    const std::string a = write("a.conf", "trace\nconfig = " + dir + "/b.conf\n");
    const std::string b = write("b.conf", "mute\nconfig = " + a + "\n");
    EXPECT_EQ(message({"--config", a}), b + ":2: config: " + a + " is already being read (" + a + " -> " + b + " -> " + a + ")");

    // A chain of files ends at 16 deep, with the chain in the message.
    std::string chain;
    for (int i = 16; i >= 0; --i) {
        const std::string name = dir + "/n" + std::to_string(i) + ".conf";
        write("n" + std::to_string(i) + ".conf", i == 16 ? "mute\n" : "config = " + dir + "/n" + std::to_string(i + 1) + ".conf\n");
        chain = i == 16 ? name : name + " -> " + chain;
    }
    EXPECT_TRUE(ParseSimArgs({"--config", dir + "/n1.conf"}).Faults.Mute);
    EXPECT_EQ(message({"--config", dir + "/n0.conf"}), dir + "/n15.conf:1: config: " + dir +
            "/n16.conf: files may include others at most 16 deep (" + chain + ")");

    const std::string longKey = write("long.conf", "model = KVT27\n" + std::string(1000000, 'k') + " = 1\n");
    EXPECT_EQ(message({"--config", longKey}), longKey + ":2: unknown setting \"" + std::string(40, 'k') + "...\" (see --help)");
    std::system(("rm -rf '" + dir + "'").c_str());
}
