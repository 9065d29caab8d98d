// The serial ports present on Linux, as the kernel's tty class lists them.
#pragma once

#include "serial/portinfo.h"

#include <string>
#include <vector>

namespace kvt::serial {

// Appends, in the order the directory gives them, the names of the ttys under ClassDir (normally
// /sys/class/tty) that have a device behind them and a node under DevDir: USB and ACM adapters,
// platform UARTs, and legacy ttyS ports only where a UART was found (their "type" is not 0).
// A missing or unreadable directory adds nothing.
void EnumSerialPortsIn(const std::string& ClassDir, const std::string& DevDir, std::vector<std::string>& Names);

// The ports EnumSerialPortsIn finds under SysRoot/class/tty and DevRoot (normally /sys and /dev),
// each with what sysfs tells of it: for a USB adapter the maker's and product's names, its serial
// number and vendor:product id, the driver, and its link in DevRoot/serial/by-id as StableName.
std::vector<TPortInfo> SystemPortsIn(const std::string& SysRoot, const std::string& DevRoot);

} // namespace kvt::serial
