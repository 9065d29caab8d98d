// The standard streams of a program started with some of them closed.
#include "closed_streams.h"
#include "platform/std_streams.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kvt::platform;

namespace {

// Device and inode: which file a descriptor has open.
std::pair<dev_t, ino_t> FileOf(int Fd)
{
    struct stat st {};
    return ::fstat(Fd, &st) == 0 ? std::pair{st.st_dev, st.st_ino} : std::pair<dev_t, ino_t>{};
}

} // namespace

TEST(StandardStreams, ClosedOnesGetDevNullAndAreReported)
{
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    const std::pair<dev_t, ino_t> devNull{null.st_dev, null.st_ino};
    const std::pair<dev_t, ino_t> before[3] = {FileOf(0), FileOf(1), FileOf(2)};
    for (int mask = 1; mask < 8; ++mask) {
        std::vector<int> fds;
        for (int fd = 0; fd <= 2; ++fd)
            if (mask & (1 << fd))
                fds.push_back(fd);
        TClosedStreams reported, again;
        std::pair<dev_t, ino_t> during[3];
        {
            TWithoutStandardStreams closed(fds);
            reported = OpenClosedStandardStreams();
            for (int fd = 0; fd <= 2; ++fd)
                during[fd] = FileOf(fd);
            again = OpenClosedStandardStreams();
        }
        SCOPED_TRACE("closed: mask " + std::to_string(mask));
        EXPECT_EQ(reported.In, (mask & 1) != 0);
        EXPECT_EQ(reported.Out, (mask & 2) != 0);
        EXPECT_EQ(reported.Err, (mask & 4) != 0);
        for (int fd = 0; fd <= 2; ++fd)
            EXPECT_EQ(during[fd], (mask & (1 << fd)) ? devNull : before[fd]) << "descriptor " << fd;
        EXPECT_FALSE(again.In || again.Out || again.Err) << "open ones are not reported";
    }
}

TEST(StandardStreams, ADescriptorIsKeptOffThem)
{
    int low = -1, kept = -1, flags = -1;
    bool stillClosed = false;
    {
        TWithoutStandardStreams closed;
        low = ::open("/dev/null", O_RDONLY);
        kept = KeepOffStandardStreams(low);
        flags = ::fcntl(kept, F_GETFD);
        stillClosed = TWithoutStandardStreams::Closed(0);
    }
    EXPECT_EQ(low, 0);
    EXPECT_GT(kept, 2);
    EXPECT_TRUE(flags >= 0 && (flags & FD_CLOEXEC));
    EXPECT_TRUE(stillClosed);
    ::close(kept);

    const int high = ::open("/dev/null", O_RDONLY);
    ASSERT_GT(high, 2);
    EXPECT_EQ(KeepOffStandardStreams(high), high);
    ::close(high);
    EXPECT_EQ(KeepOffStandardStreams(-1), -1);
}
