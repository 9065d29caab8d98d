// Naming a port and explaining why it did not open: shared by kvt27ctl and the program's
// MsgBadPort box.
#pragma once

#include <string>
#include <string_view>

namespace kvt {

// The program's port-name rule; blanks around the name are dropped and empty text gives "".
// On Linux a name from the port list ("ttyUSB0") opens under /dev and an absolute path as it
// stands; on Windows a name such as "COM3" opens as "\\.\COM3", the form that also reaches COM10
// and above, and a name that has a backslash already as it stands.
std::string PortDeviceName(std::string_view PortText);

// The group that grants access to a device: the owning group of Device when that group may
// read and write it and is not root's, else "dialout", the usual serial port group on Linux.
// Empty on Windows, where no group grants access to a port.
std::string PortAccessGroup(const std::string& Device);

// The detail text for a port that could not be opened: the system's reason first (SystemText,
// as the serial component's error carries it), then, for a permission failure (EACCES, EPERM),
// how to get access through Group, and for a busy port, that another program holds it (on
// Windows a port that another program holds says "access denied").
// ErrorCode 0 is one of the component's own errors: the text alone.
std::string PortOpenFailureDetail(int ErrorCode, std::string_view SystemText, std::string_view Group = "dialout");

} // namespace kvt
