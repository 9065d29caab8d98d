// The simulators' port registry: which entries are listed, which are cleared away, and which
// folders and files are not trusted.
#include "platform/simregistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class SimPortRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[] = "/tmp/kvt-simports-XXXXXX";
        ASSERT_NE(::mkdtemp(base), nullptr);
        FBase = base;
        FDir = FBase + "/reg";
    }
    void TearDown() override { std::system(("rm -rf '" + FBase + "'").c_str()); }

    void WriteEntry(const std::string& Name, const std::string& Text)
    {
        std::ofstream(FDir + "/" + Name) << Text;
    }

    std::string FBase, FDir;
};

} // namespace

TEST_F(SimPortRegistry, ListsLiveEntriesAndDropsStaleOnes)
{
    // A live registration of this process, on a path that exists.
    kvt::TSimPortRegistration live("/dev/null", FDir);
    ASSERT_TRUE(live.Registered()) << live.Error();
    struct stat st {};
    ASSERT_EQ(::stat(FDir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A simulator that was killed: its pid is gone.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    WriteEntry(std::to_string(child) + "-0.port", "pid=" + std::to_string(child) + "\npath=/dev/null\n");
    // A reused pid: this process, but another start time.
    WriteEntry("reused-0.port", "pid=" + std::to_string(::getpid()) + "\nstart=1\npath=/dev/null\n");
    WriteEntry("garbage.port", "nothing here\n");

    const auto ports = kvt::LiveSimPortsIn(FDir);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].Path, "/dev/null");
    EXPECT_EQ(ports[0].Pid, ::getpid());
    EXPECT_NE(::access((FDir + "/" + std::to_string(child) + "-0.port").c_str(), F_OK), 0);
    EXPECT_NE(::access((FDir + "/reused-0.port").c_str(), F_OK), 0);
    EXPECT_NE(::access((FDir + "/garbage.port").c_str(), F_OK), 0);

    live.Remove();
    EXPECT_TRUE(kvt::LiveSimPortsIn(FDir).empty());
}

TEST_F(SimPortRegistry, AFolderOthersCanWriteIsNotTrusted)
{
    ASSERT_EQ(::mkdir(FDir.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(FDir.c_str(), 0777), 0);
    WriteEntry("1-0.port", "pid=" + std::to_string(::getpid()) + "\npath=/dev/null\n");
    EXPECT_TRUE(kvt::LiveSimPortsIn(FDir).empty());
    kvt::TSimPortRegistration reg("/dev/null", FDir);
    EXPECT_FALSE(reg.Registered());
    EXPECT_FALSE(reg.Error().empty());
}

TEST(SimPortEntries, OnlySmallRegularFilesAreReadAndNothingWaits)
{
    char Base[] = "/tmp/kvt-simentries-XXXXXX";
    ASSERT_NE(::mkdtemp(Base), nullptr);
    struct TRemove {
        const char* Path;
        ~TRemove()
        {
            std::error_code Ec;
            std::filesystem::remove_all(Path, Ec);
        }
    } Remove{Base};
    const std::string Dir = std::string(Base) + "/reg";
    kvt::TSimPortRegistration Live("/dev/null", Dir);
    ASSERT_TRUE(Live.Registered()) << Live.Error();
    // Each of these names a live process and a device that exists, but no simulator wrote it.
    const std::string Entry = "pid=" + std::to_string(::getpid()) + "\npath=/dev/null\n";
    ASSERT_EQ(::mkfifo((Dir + "/fifo.port").c_str(), 0600), 0);
    std::ofstream(Dir + "/huge.port") << Entry;
    ASSERT_EQ(::truncate((Dir + "/huge.port").c_str(), 64 << 20), 0);
    std::ofstream(std::string(Base) + "/elsewhere") << Entry;
    ASSERT_EQ(::symlink((std::string(Base) + "/elsewhere").c_str(), (Dir + "/link.port").c_str()), 0);

    auto Listing = std::async(std::launch::async, [&] { return kvt::LiveSimPortsIn(Dir); });
    if (Listing.wait_for(10s) != std::future_status::ready) {
        ADD_FAILURE() << "the list waits for a writer of the FIFO";
        ::close(::open((Dir + "/fifo.port").c_str(), O_WRONLY | O_NONBLOCK));
    }
    const std::vector<kvt::TSimPort> Ports = Listing.get();
    ASSERT_EQ(Ports.size(), 1u) << "only the simulator's own entry";
    EXPECT_EQ(Ports[0].Pid, ::getpid());
}
