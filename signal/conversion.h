// Raw input readings to display values, and the texts the window shows for them.
#pragma once

#include <string>
#include <string_view>

#include "protocol/device_settings.h"
#include "signal/signal_kind.h"

namespace kvt {

// The window's unit suffixes (with their leading blank).
inline constexpr std::string_view SuffixMicroamp = " uA";
inline constexpr std::string_view SuffixMillivolt = " mV";
inline constexpr std::string_view SuffixPercent = " %";

// Raw 16-bit AD reading (or stored InZero / InEnd word) to the integer display value:
// microamperes, millivolts, hundredths of a millivolt (millivolt input) or percent, by
// ConfigType and, under ConfigType 15, InputMode. Doubles throughout, halves to even.
// UnitSuffix is the window's member: set when the configuration has a conversion, left as it
// was otherwise. Returns 0 when there is no conversion, and 0 (with the suffix set) when the
// two calibration words of the divisor are equal.
int NormalizeValueAD(const TDeviceSettings& Settings, int Raw, std::string& UnitSuffix);

// The number part of a measurement text: for the millivolt input (ConfigType 15, InputMode 5)
// Value / 100 with "0.#" and DecimalSeparator (58498 -> "585", 12340 -> "123,4"), otherwise
// Value as a decimal integer.
std::string ValueText(int ConfigType, int InputMode, int Value, std::string_view DecimalSeparator);

// ValueText followed by UnitSuffix: the measured value label and the range labels.
std::string MeasurementText(int ConfigType, int InputMode, int Value, std::string_view UnitSuffix,
                            std::string_view DecimalSeparator);

} // namespace kvt
