// kvt27ctl and the converters' histories, in process: apply and record keep a session, history
// shows it with the labels and what changed since; a history that cannot be kept is a warning.
#include "protocol/device_settings.h"
#include "tools/ctl/ctl.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace kvt;
using namespace kvt::ctl;
using Json = nlohmann::json;

namespace {

class CtlHistory : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sim.Start();
        char dir[] = "/tmp/kvt-ctlhist-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Dir = dir;
    }
    void TearDown() override
    {
        Sim.Stop();
        std::system(("rm -rf '" + Dir + "'").c_str());
    }
    struct TRun {
        int Status;
        std::string Out, Err;
    };
    TRun Ctl(std::vector<std::string> Args, const std::string& HistoryDir)
    {
        std::ostringstream out, err;
        TCtlContext context{out, err, "/nonexistent", "."};
        context.HistoryDir = HistoryDir;
        const int status = RunCtl(Args, context);
        return {status, out.str(), err.str()};
    }

    sim::TSimulator Sim;
    std::string Dir;
};

} // namespace

TEST_F(CtlHistory, ApplyAndRecordKeepSessionsThatHistoryShows)
{
    const std::string history = Dir + "/history";
    const std::string port = Sim.DevicePath();
    TRun r = Ctl({"history", "--port", port, "--tag", "FT-101", "--place", "Plant 3"}, history);
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(r.Out.find("no session in the history yet"), std::string::npos) << r.Out;

    const std::string conf = Dir + "/a.kvt";
    std::ofstream(conf) << "input = current\ninput-begin = 4.000 mA\ninput-end = 20.000 mA\noutput = current\n"
                           "output-begin = 4.000 mA\noutput-end = 20.000 mA\nfilter = 1\nreaction = 0\n";
    ASSERT_EQ(Ctl({"apply", "--port", port, conf}, history).Status, ExitOk);
    ASSERT_EQ(Ctl({"apply", "--port", port, conf, "--dry-run"}, history).Status, ExitOk); // keeps nothing
    Sim.SetWord(WordInEnd, 61990);
    r = Ctl({"record", "--port", port}, history);
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(Json::parse(r.Out)["tag"], "FT-101");

    r = Ctl({"history", "--port", port, "--json"}, history);
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    const Json j = Json::parse(r.Out);
    EXPECT_EQ(j["labels"]["place"], "Plant 3");
    ASSERT_EQ(j["entries"].size(), 2u);
    EXPECT_EQ(j["entries"][0]["program"], "kvt27ctl apply");
    EXPECT_EQ(j["entries"][0]["written"], Json::array({"FilterType"}));
    EXPECT_EQ(j["entries"][1]["program"], "kvt27ctl record");
    EXPECT_EQ(j["entries"][1]["as_found"]["InEnd"], 61990);
    EXPECT_EQ(j["last_seen"]["changes"].size(), 0u);

    // The next session finds what changed since the last one left it.
    Sim.SetWord(WordFilterType, 2);
    r = Ctl({"history", "--port", port}, history);
    EXPECT_NE(r.Out.find("as FT-101; since then FilterType 1 -> 2\n"), std::string::npos) << r.Out;
    // By fingerprint, without a converter.
    const std::string fingerprint = j["fingerprint"];
    r = Ctl({"history", "--fingerprint", fingerprint}, history);
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_NE(r.Out.find("kvt27ctl record  FT-101\n"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find("last seen"), std::string::npos);
    EXPECT_EQ(Ctl({"history", "--fingerprint", "KVT27-1"}, history).Status, ExitUsage);
    EXPECT_EQ(Ctl({"history", "--port", port, "--fingerprint", fingerprint}, history).Status, ExitUsage);

    // A history that cannot be written does not undo the work: a warning, and the status of the work.
    std::ofstream(Dir + "/file") << "x";
    r = Ctl({"record", "--port", port}, Dir + "/file/history");
    EXPECT_EQ(r.Status, ExitOk);
    EXPECT_NE(r.Err.find("warning: this session could not be kept in the converter's history"), std::string::npos) << r.Err;
}
