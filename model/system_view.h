// The system as the search and the diagnosis see it.
#pragma once

#include "serial/port_system.h"
#include "serial/portinfo.h"

#include <string>
#include <vector>

namespace kvt {

// Where the search and the diagnosis read the system: /sys, /dev and /proc, or a tree of a test's
// own; the simulators' registry; the kernel's word on an on-board UART.
struct TSystemView {
    std::string SysRoot = "/sys";
    std::string DevRoot = "/dev";
    std::string ProcRoot = "/proc";
    std::string SimRegistryDir; // empty: the user's own (SimPortRegistryDir)
    TUartCheck UartCheck;       // empty: UartAbsent
};

// The system's ports and the live simulators, as the view shows them.
std::vector<TPortInfo> ViewPorts(const TSystemView& View);

} // namespace kvt
