// The converter model for kvt27ctl: each failure turned into ECtlError with the exit status it means.
#pragma once

#include "model/converter_model.h"

#include <cstdint>
#include <string>

namespace kvt::ctl {

class TCtlSession {
public:
    // PortText follows the program's port-name rule ("ttyUSB0" or an absolute path).
    explicit TCtlSession(std::string PortText) : FPortText(std::move(PortText)) {}

    TConverterModel& Model() { return FModel; }
    const std::string& Device() const { return FModel.Device(); }
    const TDeviceSettings& Settings() const { return FModel.Settings(); }

    // Opens the port; ExitPortOpen with the system's reason and a hint when it fails.
    void Open();
    // Identification; ExitNoAnswer or ExitNotConverter.
    void Identify();
    // The settings load, every word read.
    void LoadSettings();
    // One word, as the load reads it; ExitNoAnswer when it cannot be read.
    uint16_t ReadWord(uint8_t Address);
    // A measurement only: the raw reading.
    TMeasured Measure();

    // The message of a failed operation, as its ECtlError says it (exit status ExitNoAnswer).
    std::string FailureText(const TOutcome& Outcome) const;
    // The exit status and message of a failed operation.
    [[noreturn]] void Fail(const TOutcome& Outcome, const std::string& Note = {}) const;

private:
    std::string FPortText;
    TConverterModel FModel;
};

} // namespace kvt::ctl
