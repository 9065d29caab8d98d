// How the port's line settings become termios flags; no device involved.
#pragma once

#include "serial/combackend.h"

#include <cstdint>
#include <termios.h>

namespace kvt::serial {

// Changes T, the driver's current settings, as Config asks: fields at their ...Default value keep
// what T has. Returns 0, or EINVAL for a request termios cannot express. CustomRate receives a
// rate that has no B constant (to be set through termios2), else 0.
int MapLineSettings(const TLineConfig& Config, termios& T, uint32_t& CustomRate);

} // namespace kvt::serial
