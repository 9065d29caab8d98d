// A technician's record of the work on one converter: what it is, its settings as found at connect
// and as left, and the calibration measurements taken meanwhile. The window prints it (PDF),
// kvt27ctl gives it as JSON; both take its rows from here.
#pragma once

#include "protocol/device_settings.h"
#include "signal/config_file.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvt {

struct TRecordMeasurement {
    std::chrono::system_clock::time_point Time;
    uint32_t Parameter = 0; // MeasureStoreZero (range begin stored), MeasureStoreEnd, MeasureOnly
    uint16_t Raw = 0;
    int Value = 0;          // the reading in display units: hundredths of a mV for the millivolt input
    std::string Unit;       // "uA", "mV", "%"
    bool Millivolt = false; // Value / 100 is the reading in mV
};

struct TWorkRecord {
    std::chrono::system_clock::time_point Time;
    std::string Port;
    TDeviceSettings AsFound; // identification and words at connect
    TDeviceSettings AsLeft;  // the words now
    std::optional<int> TemperatureC;
    std::vector<TRecordMeasurement> Measurements;
    std::string Tag; // the converter's tag in the plant, from its history (empty when none)
};

// One setting in engineering units, as found and as left. Kinds are named as the configuration
// files name them ("current"); ranges are numbers in Unit; filter and reaction are their values.
// A side whose settings cannot be told (no known kind) is empty.
struct TRecordRow {
    std::string Key;  // "input", "input-begin", ..., the configuration file's keys
    std::string Unit; // for the ranges, when both sides share it; else each side carries its own
    std::string AsFound;
    std::string AsLeft;
    bool Changed() const { return AsFound != AsLeft; }
};
std::vector<TRecordRow> SettingsRows(const TDeviceSettings& AsFound, const TDeviceSettings& AsLeft);

// The configuration in engineering units, or nothing when the settings have none (a configuration
// that is not allowed, an unknown kind).
std::optional<TProfile> ProfileOf(const TDeviceSettings& Settings);

// Whether two connections reached the same converter: the same model, firmware and factory
// calibration words (every converter has its own).
bool SameConverter(const TDeviceSettings& A, const TDeviceSettings& B);

// The writes that give the converter of Now the writable words of AsFound again, in the order a
// configuration is applied; words that hold their value already are not written.
std::vector<TPlannedWrite> PlanRestore(const TDeviceSettings& AsFound, const TDeviceSettings& Now);

} // namespace kvt
