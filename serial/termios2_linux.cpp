#include "serial/termios2_linux.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace kvt::serial {

namespace {

int Ioctl(int Fd, unsigned long Request, void* Arg)
{
    for (;;) {
        if (::ioctl(Fd, Request, Arg) == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

} // namespace

int SetCustomSpeed(int Fd, uint32_t Rate)
{
    if (Rate == 0)
        return EINVAL;
    termios2 T{};
    if (int e = Ioctl(Fd, TCGETS2, &T))
        return e;
    T.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    T.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    T.c_ispeed = Rate;
    T.c_ospeed = Rate;
    return Ioctl(Fd, TCSETS2, &T);
}

int GetLineSpeed(int Fd, uint32_t& Rate)
{
    termios2 T{};
    if (int e = Ioctl(Fd, TCGETS2, &T))
        return e;
    Rate = T.c_ospeed;
    return 0;
}

} // namespace kvt::serial
