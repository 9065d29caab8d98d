// The standard streams on POSIX systems.
#include "platform/std_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kvt::platform {

TClosedStreams OpenClosedStandardStreams() noexcept
{
    const int savedErrno = errno;
    bool closed[3] = {};
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        closed[fd] = true;
        // Inherited by anything the program starts, as a standard stream is.
        int null;
        do
            null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        while (null < 0 && errno == EINTR);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    errno = savedErrno;
    return {closed[0], closed[1], closed[2]};
}

int KeepOffStandardStreams(int Fd) noexcept
{
    if (Fd < 0 || Fd > 2)
        return Fd;
    const int moved = ::fcntl(Fd, F_DUPFD_CLOEXEC, 3);
    const int err = errno;
    ::close(Fd);
    errno = err;
    return moved;
}

} // namespace kvt::platform
