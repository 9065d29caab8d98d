// The files of kvt27ctl and kvt27-sim as a user meets them: what is refused, the exit status and
// the message, and what is left on the disk.
#include "process_support.h"
#include "tools/ctl/ctl_status.h"
#include "tools/sim/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace kvt::ctl;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const char* const Profile = "input = current\ninput-begin = 4 mA\ninput-end = 20 mA\noutput = current\n"
                            "output-begin = 4\noutput-end = 20\nfilter = 0\nreaction = 0\n";

class FilesProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/kvt-files-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        Dir = dir;
        Env = {"XDG_RUNTIME_DIR=" + Dir.string(), "LC_ALL=C",
               "KVT27_HISTORY_DIR=" + Dir.string() + "/history"};
        Sim.Start();
    }
    void TearDown() override
    {
        Sim.Stop();
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    std::string Path(const std::string& Name) const { return (Dir / Name).string(); }
    static std::string Read(const std::string& Path)
    {
        std::ifstream in(Path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The names in the test's folder (the simulators' registry aside).
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Dir))
            if (e.path().filename() != "kvt27-sim")
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TRun Ctl(const std::vector<std::string>& Args)
    {
        std::vector<std::string> argv = {KVT27CTL_PROGRAM};
        argv.insert(argv.end(), Args.begin(), Args.end());
        return RunProgram(argv, Env);
    }
    TRun SimProgram(const std::vector<std::string>& Args)
    {
        std::vector<std::string> argv = {KVT27_SIM_PROGRAM};
        argv.insert(argv.end(), Args.begin(), Args.end());
        return RunProgram(argv, Env);
    }

    fs::path Dir;
    std::vector<std::string> Env;
    kvt::sim::TSimulator Sim;
};

} // namespace

TEST_F(FilesProcess, SaveReplacesOnlyARegularFileItMayWrite)
{
    const std::string conf = Path("conv.kvt");
    TRun r = Ctl({"save", "--port", Sim.DevicePath(), conf});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_EQ(Read(conf).rfind("# kvt27ctl configuration\n", 0), 0u);
    ASSERT_EQ(::chmod(conf.c_str(), 0640), 0);
    std::ofstream(conf) << "old";
    r = Ctl({"save", "--port", Sim.DevicePath(), conf});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(Read(conf).find("input = current"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(conf.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Refused before the port is opened, and left as it was.
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
    fs::create_symlink("/dev/null", Dir / "null");
    std::ofstream(Path("read-only")) << "old";
    ASSERT_EQ(::chmod(Path("read-only").c_str(), 0444), 0);
    fs::create_directory(Dir / "folder");
    const std::pair<std::string, std::string> refused[] = {
        {"fifo", "Is a FIFO, not a regular file"},
        {"null", "Is a symbolic link, which is not followed"},
        {"read-only", "Is read-only"},
        {"folder", "Is a folder"},
        {"missing/conv.kvt", "The folder does not exist"},
    };
    const auto names = Names();
    const size_t frames = Sim.Received().size();
    for (const auto& [name, reason] : refused) {
        r = Ctl({"save", "--port", Sim.DevicePath(), Path(name)});
        EXPECT_EQ(r.Status, ExitFailure) << name;
        EXPECT_EQ(r.Err, "kvt27ctl: cannot write " + Path(name) + ": " + reason + "\n");
        EXPECT_EQ(r.Out, "");
    }
    EXPECT_EQ(Sim.Received().size(), frames);
    EXPECT_EQ(Names(), names) << "nothing replaced, no temporary file left";
    EXPECT_TRUE(fs::is_fifo(Dir / "fifo"));
    EXPECT_EQ(fs::read_symlink(Dir / "null"), "/dev/null");
    EXPECT_EQ(Read(Path("read-only")), "old");
}

TEST_F(FilesProcess, ASavedFileLoadsWhateverThePortIsCalled)
{
    // A port's name goes into the file's comment: control characters in it show, escaped.
    const std::string port = Path("odd\nname\x1b[2J");
    fs::create_symlink(Sim.DevicePath(), port);
    const std::string conf = Path("conv.kvt");
    TRun r = Ctl({"save", "--port", port, conf});
    ASSERT_EQ(r.Status, ExitOk) << r.Err;
    EXPECT_NE(Read(conf).find(Dir.string() + "/odd\\nname\\x1b[2J\n"), std::string::npos) << Read(conf);
    r = Ctl({"apply", "--dry-run", "--port", port, conf});
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
}

TEST_F(FilesProcess, ApplyReadsAndChecksTheWholeFileBeforeThePort)
{
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
    std::ofstream(Path("big")) << std::string((1 << 20) + 1, '#');
    std::ofstream(Path("long-key")) << std::string(1000000, 'k') << " = 1\n" << Profile;
    std::string badNumber = Profile;
    badNumber.replace(badNumber.find("4 mA"), 4, std::string(400, '9'));
    std::ofstream(Path("bad-number")) << badNumber;
    const std::pair<std::string, std::string> refused[] = {
        {Path("fifo"), "cannot read " + Path("fifo") + ": Is a FIFO, not a regular file"},
        {"/dev/zero", "cannot read /dev/zero: Is a device, not a regular file"},
        {Dir.string(), "cannot read " + Dir.string() + ": Is a folder"},
        {Path("big"), "cannot read " + Path("big") + ": Is larger than 1 MiB"},
        {Path("long-key"), Path("long-key") + ":1: unknown key \"" + std::string(40, 'k') + "...\""},
        {Path("bad-number"), Path("bad-number") + ":2: input-begin: \"" + std::string(40, '9') +
                "...\" is not a number the numeric entry takes"},
    };
    for (const auto& [file, message] : refused) {
        const auto start = std::chrono::steady_clock::now();
        const TRun r = Ctl({"apply", "--port", Sim.DevicePath(), file});
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << file;
        EXPECT_EQ(r.Status, ExitUsage) << file;
        EXPECT_EQ(r.Err, "kvt27ctl: " + message + "\n");
    }
    EXPECT_TRUE(Sim.Received().empty()) << "the port was opened";

    // A byte-order mark is no part of the first key.
    std::ofstream(Path("bom")) << "\xEF\xBB\xBF" << Profile;
    const TRun r = Ctl({"apply", "--dry-run", "--port", Sim.DevicePath(), Path("bom")});
    EXPECT_EQ(r.Status, ExitOk) << r.Err;
}

TEST_F(FilesProcess, SimulatorLinkTakesNoNameThatIsNotItsOwn)
{
    // Taken names are refused and left alone, before any line is made.
    std::ofstream(Path("file")) << "mine";
    fs::create_symlink("/etc/hostname", Dir / "other-link");
    for (const std::string name : {"file", "other-link"}) {
        const TRun r = SimProgram({"--link", Path(name)});
        EXPECT_EQ(r.Status, 1) << name;
        EXPECT_EQ(r.Out, "");
        EXPECT_NE(r.Err.find("kvt27-sim: --link " + Path(name) + ": the name is taken"), std::string::npos) << r.Err;
    }
    EXPECT_EQ(Read(Path("file")), "mine");
    EXPECT_EQ(fs::read_symlink(Dir / "other-link"), "/etc/hostname");

    // A link left by a killed simulator is taken over; at exit only the simulator's own link goes.
    const std::string link = Path("kvt27");
    fs::create_symlink("/dev/pts/99999", link);
    {
        TChild sim({KVT27_SIM_PROGRAM, "--link", link}, Env);
        const std::string device = sim.ReadLine(30s);
        ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
        EXPECT_EQ(fs::read_symlink(link), device);
        ::kill(sim.Pid(), SIGTERM);
        EXPECT_EQ(sim.Wait().Status, 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }
    {
        TChild sim({KVT27_SIM_PROGRAM, "--link", link}, Env);
        ASSERT_FALSE(sim.ReadLine(30s).empty());
        // Someone puts a file of theirs in its place.
        std::ofstream(Path("theirs")) << "theirs";
        fs::rename(Path("theirs"), link);
        ::kill(sim.Pid(), SIGTERM);
        EXPECT_EQ(sim.Wait().Status, 0);
        EXPECT_EQ(Read(link), "theirs");
    }
}

TEST_F(FilesProcess, SimulatorSettingsAreRefusedWithStatus2)
{
    std::ofstream(Path("a.conf")) << "config = " << Path("b.conf") << "\n";
    std::ofstream(Path("b.conf")) << "mute\nconfig = " << Path("a.conf") << "\n";
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--link", ""}, "kvt27-sim: link: the value is empty\n"},
        {{"--line-speed", "-1"}, "kvt27-sim: line-speed: expected a whole number from 0 to 4000000, got \"-1\"\n"},
        {{"--config", Path("a.conf")}, "kvt27-sim: " + Path("b.conf") + ":2: config: " + Path("a.conf") +
                " is already being read (" + Path("a.conf") + " -> " + Path("b.conf") + " -> " + Path("a.conf") + ")\n"},
    };
    for (const auto& [args, message] : refused) {
        const TRun r = SimProgram(args);
        EXPECT_EQ(r.Status, 2) << message;
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err, message);
    }
}
