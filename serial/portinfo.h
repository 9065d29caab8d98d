// A serial port as the port list shows it: the name that opens it and what the system tells about
// the device behind it. Windows fills the description from the device manager's names; Linux
// gives the names alone for now.
#pragma once

#include <string>
#include <vector>

namespace kvt {

struct TPortInfo {
    std::string Name;         // what the port box and --port take: COM5, ttyUSB0, /dev/pts/3
    std::string Description;  // what the system calls the device: "USB Serial Port"
    std::string Manufacturer; // the maker of the device or of its driver, where known
    std::string SerialNumber; // the adapter's own serial number, where it has one
    std::string StableName;   // a name that opens this adapter also after a re-plug; empty when none
    std::string HardwareId;   // the system's identifier of the kind of device: USB\VID_0403&PID_6001
    bool Simulator = false;   // a running kvt27-sim
};

// "COM5 — USB Serial Port" (an em dash between), the bare name when there is no description.
std::string PortDisplayText(const TPortInfo& Port);

// Sorts by name as people count: COM2 before COM10, ttyUSB1 before ttyUSB10. Stable.
void SortPortsByName(std::vector<TPortInfo>& Ports);

// The serial ports of the system present now: on Windows with their descriptions, sorted by
// number; on Linux by name only, in the order the kernel lists them.
std::vector<TPortInfo> SystemPorts();

} // namespace kvt
