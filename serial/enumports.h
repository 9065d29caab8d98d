// The serial ports present on Linux, as the kernel's tty class lists them.
#pragma once

#include <string>
#include <vector>

namespace kvt::serial {

// Appends, in the order the directory gives them, the names of the ttys under ClassDir (normally
// /sys/class/tty) that have a device behind them and a node under DevDir: USB and ACM adapters,
// platform UARTs, and legacy ttyS ports only where a UART was found (their "type" is not 0).
// A missing or unreadable directory adds nothing.
void EnumSerialPortsIn(const std::string& ClassDir, const std::string& DevDir, std::vector<std::string>& Names);

} // namespace kvt::serial
