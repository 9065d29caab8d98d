// One converter on one port, opened and identified as the program's Connect does it: the same
// port settings, a random station address 1..254, identify with the echo check, version, model
// check, temperature for a KVT27, configuration. Failures come out as ECtlError with the status
// for the command line.
#pragma once

#include "protocol/device_settings.h"
#include "protocol/transactions.h"
#include "serial/comport.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kvt::ctl {

class TCtlSession {
public:
    // PortText follows the program's port-name rule ("ttyUSB0" or an absolute path).
    explicit TCtlSession(const std::string& PortText);
    ~TCtlSession();
    TCtlSession(const TCtlSession&) = delete;
    TCtlSession& operator=(const TCtlSession&) = delete;

    const std::string& Device() const { return FDevice; }

    // Opens the port; ExitPortOpen with the system's reason and a hint when it fails.
    void Open();
    // Identification; ExitNoAnswer or ExitNotConverter.
    void Identify();
    // The sixteen settings words, each of which must be read.
    void LoadSettings();

    // One word; ExitNoAnswer when it cannot be read or written.
    uint16_t ReadWord(uint8_t Address);
    void WriteWord(uint8_t Address, uint16_t Value);
    // CmdMeasure, measure only: the raw reading.
    uint16_t Measure();

    TDeviceSettings Settings;
    std::optional<int> TemperatureC; // KVT27 only

private:
    std::string Ask(uint8_t Command, uint32_t Parameter, const std::string& What);

    std::string FDevice;
    TComPort FPort;
    TTransactions FTransactions;
};

} // namespace kvt::ctl
