// Identification values as the program and the tools show them.
#pragma once

#include <cstdint>
#include <string>

namespace kvt {

// The decimal digits with "." before the 2nd character and "/" before the 6th of the result:
// 1200160822 -> "1.200/160822". A separator whose place lies beyond the text is left out
// (7 -> "7", 1234 -> "1.234"); a negative value keeps its sign in front of the formatted
// magnitude (-1200160822 -> "-1.200/160822").
std::string FirmwareVersionText(int32_t Version);

// Degrees Celsius from the raw reading N of CmdReadTemperature:
// (N - 8388608) * 1.39e-7 / 0.00081 - 273, nearest integer, halves to even.
int TemperatureCelsius(int32_t Raw);

// The raw reading that gives Celsius degrees (for simulators and tests).
int32_t TemperatureRaw(double Celsius);

// "KVT27" for DeviceModel 10, "KVT27L" for 12, empty otherwise.
std::string ModelName(int DeviceModel);

} // namespace kvt
