// One converter on one port for kvt27ctl: the program's converter session, opened and identified
// as the program connects, with each failure turned into ECtlError and the exit status it means.
#pragma once

#include "protocol/converter_session.h"
#include "protocol/device_settings.h"
#include "serial/comport.h"

#include <cstdint>
#include <functional>
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
    TComPort& Port() { return FPort; }
    TConverterSession& Converter() { return FSession; }

    // Runs before every request the session makes; it may throw to end the command there.
    void SetStopCheck(std::function<void()> Check) { FStopCheck = std::move(Check); }

    // Opens the port; ExitPortOpen with the system's reason and a hint when it fails.
    void Open();
    // Identification; ExitNoAnswer or ExitNotConverter.
    void Identify();
    // The settings load, every word read.
    void LoadSettings();

    // One word; ExitNoAnswer when it cannot be read.
    uint16_t ReadWord(uint8_t Address);
    // One word written; a failed write is returned, with what the converter holds when it may
    // have stored the word anyway.
    TConverterSession::TWordWrite WriteWord(uint8_t Address, uint16_t Value);
    // The message of a failed operation, as its ECtlError says it (exit status ExitNoAnswer).
    std::string FailureText(const TOutcome& Outcome) const;
    // CmdMeasure, measure only: the raw reading.
    uint16_t Measure();

    TDeviceSettings Settings;
    std::optional<int> TemperatureC; // KVT27 only

private:
    // The exit status and message of a failed operation.
    [[noreturn]] void Fail(const TOutcome& Outcome, const std::string& Note = {});

    void CheckStop() const
    {
        if (FStopCheck)
            FStopCheck();
    }

    std::function<void()> FStopCheck;
    std::string FDevice;
    TComPort FPort;
    TConverterSession FSession;
};

} // namespace kvt::ctl
