// The serial ports present on Windows, as the system's device map lists them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kvt::serial {

// Appends the data of the plain string values (REG_SZ) of Root\SubKey, such as "COM3", in the
// registry's order, each cut at its first NUL. A key that cannot be opened adds nothing; a value
// whose data cannot be read although its name was listed raises std::runtime_error.
void EnumSerialPortsUnder(HKEY Root, const std::wstring& SubKey, std::vector<std::string>& Names);

} // namespace kvt::serial
