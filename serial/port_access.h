// Naming a port and explaining why it did not open: shared by kvt27ctl and the program's
// MsgBadPort box.
#pragma once

#include <string>
#include <string_view>

namespace kvt {

// The program's port-name rule: a name from the port list ("ttyUSB0") opens under /dev, an
// absolute path opens as it stands; blanks around it are dropped. Empty text gives "".
std::string PortDeviceName(std::string_view PortText);

// The group that grants access to a device: the owning group of Device when that group may
// read and write it and is not root's, else "dialout", the usual serial port group on Linux.
std::string PortAccessGroup(const std::string& Device);

// The detail text for a port that could not be opened: the system's reason first (SystemText,
// as the serial component's error carries it), then, for a permission failure (EACCES, EPERM),
// how to get access through Group, and for a busy port, that another program holds it.
// ErrorCode 0 is one of the component's own errors: the text alone.
std::string PortOpenFailureDetail(int ErrorCode, std::string_view SystemText, std::string_view Group = "dialout");

} // namespace kvt
