#include "tools/sim/pty.h"

#include "platform/std_streams.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace kvt::sim {

namespace {
[[noreturn]] void Fail(const std::string& What)
{
    throw std::runtime_error("pseudo-terminal: " + What + ": " + std::strerror(errno));
}
} // namespace

TPseudoTerminal::~TPseudoTerminal()
{
    Close();
}

void TPseudoTerminal::Open()
{
    Close();
    // Both sides above 2: the device and the trace written to a standard stream must never go
    // into the line.
    FMaster = platform::KeepOffStandardStreams(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (FMaster < 0)
        Fail("posix_openpt");
    try {
        if (grantpt(FMaster) != 0)
            Fail("grantpt");
        if (unlockpt(FMaster) != 0)
            Fail("unlockpt");
        char name[256];
        if (ptsname_r(FMaster, name, sizeof name) != 0)
            Fail("ptsname");
        FSlavePath = name;
        FSlaveHold = platform::KeepOffStandardStreams(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (FSlaveHold < 0)
            Fail("open " + FSlavePath);
        termios t{};
        if (tcgetattr(FSlaveHold, &t) != 0)
            Fail("tcgetattr");
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, B4800);
        cfsetospeed(&t, B4800);
        if (tcsetattr(FSlaveHold, TCSANOW, &t) != 0)
            Fail("tcsetattr");
        const int flags = fcntl(FMaster, F_GETFL);
        if (flags < 0 || fcntl(FMaster, F_SETFL, flags | O_NONBLOCK) != 0)
            Fail("fcntl");
    } catch (...) {
        Close();
        throw;
    }
}

void TPseudoTerminal::Close()
{
    if (FSlaveHold >= 0)
        ::close(FSlaveHold);
    if (FMaster >= 0)
        ::close(FMaster);
    FSlaveHold = -1;
    FMaster = -1;
}

} // namespace kvt::sim
