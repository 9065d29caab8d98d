// The serial ports present on Windows: the device manager's Ports class through SetupAPI, with the
// names people see there, and the system's device map (SERIALCOMM) for ports without a device of
// that class (virtual ports, some drivers).
#pragma once

#include "serial/portinfo.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kvt::serial {

// Appends the data of the plain string values (REG_SZ) of Root\SubKey, such as "COM3", in the
// registry's order, each cut at its first NUL. A key that cannot be opened adds nothing; a value
// that vanishes (a port removed) or cannot be read while the key is read is left out.
void EnumSerialPortsUnder(HKEY Root, const std::wstring& SubKey, std::vector<std::string>& Names);
// The same for the values ValueNames of an open key.
void ReadPortValues(HKEY Key, const std::vector<std::wstring>& ValueNames, std::vector<std::string>& Names);

// The description of a port from the device manager's names: the friendly name less the
// " (COM5)" the system appends to it, else the device description.
std::string PortDescription(const std::string& FriendlyName, const std::string& DeviceDescription,
    const std::string& PortName);
// The adapter's serial number from its device instance ID: the last part of a USB device's ID
// ("USB\VID_0403&PID_6001\A50285BI") or the third field of an FTDI driver's
// ("FTDIBUS\VID_0403+PID_6001+A50285BIA\0000"); empty where the system made the ID up ("...\5&2B3C&0&2").
std::string SerialNumberFromInstanceId(const std::string& InstanceId);
// The list shown: the device manager's ports, then those of the device map that it lacks, sorted
// by name; a port listed twice by the device manager is shown once.
std::vector<TPortInfo> MergePorts(std::vector<TPortInfo> Devices, const std::vector<std::string>& DeviceMap);

} // namespace kvt::serial
