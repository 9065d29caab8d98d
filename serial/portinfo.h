// A serial port as the port list shows it: the name that opens it and what the system tells about
// the device behind it: on Windows from the device manager's names, on Linux from sysfs and
// /dev/serial/by-id.
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
    std::string Driver;       // the kernel driver behind the port (Linux): ftdi_sio, cdc_acm
};

// "COM5 — USB Serial Port" (an em dash between), the bare name when there is no description;
// the adapter's serial number follows in brackets where there is one: "ttyUSB0 — FT232R (A10K3X)".
std::string PortDisplayText(const TPortInfo& Port);

// Sorts by name as people count: COM2 before COM10, ttyUSB1 before ttyUSB10. Stable.
void SortPortsByName(std::vector<TPortInfo>& Ports);

// The name to remember for the port called Name now: its stable name where it has one.
std::string RememberedPortName(const std::vector<TPortInfo>& Ports, const std::string& Name);
// A remembered name as the port is called now: the port whose stable name it is, else as it stands.
std::string CurrentPortName(const std::vector<TPortInfo>& Ports, const std::string& Remembered);

// The serial ports of the system present now: on Windows with their descriptions, sorted by
// number; on Linux in the order the kernel lists them.
std::vector<TPortInfo> SystemPorts();
// The same, read from SysRoot and DevRoot in place of /sys and /dev (Linux; Windows ignores them).
std::vector<TPortInfo> SystemPortsUnder(const std::string& SysRoot, const std::string& DevRoot);

} // namespace kvt
