// Line speeds through the kernel's termios2 interface, which takes any rate in bit/s. Its header
// clashes with <termios.h>, so it lives in a translation unit of its own.
#pragma once

#include <cstdint>

namespace kvt::serial {

// Sets input and output to Rate bit/s. Returns 0 or errno.
int SetCustomSpeed(int Fd, uint32_t Rate);

// The output rate in bit/s, whichever way it was set. Returns 0 or errno.
int GetLineSpeed(int Fd, uint32_t& Rate);

} // namespace kvt::serial
