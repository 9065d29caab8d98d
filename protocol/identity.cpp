#include "protocol/identity.h"

#include "protocol/device_settings.h"
#include "protocol/rounding.h"

#include <cmath>
#include <limits>

namespace kvt {

namespace {
constexpr double TempOffset = 8388608.0;
constexpr double TempScale = 1.39e-7 / 0.00081;
} // namespace

std::string FirmwareVersionText(int32_t Version)
{
    // Widened so that the most negative value has a magnitude.
    const int64_t v = Version;
    const std::string digits = std::to_string(v < 0 ? -v : v);
    std::string s = v < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        // Before the 2nd character, then before the 6th of the result (the 5th digit).
        if (i == 1)
            s += '.';
        else if (i == 4)
            s += '/';
        s += digits[i];
    }
    return s;
}

int TemperatureCelsius(int32_t Raw)
{
    const double t = (static_cast<double>(Raw) - TempOffset) * 1.39e-7 / 0.00081 - 273;
    return static_cast<int>(RoundHalfEven(t));
}

int32_t TemperatureRaw(double Celsius)
{
    const double n = std::round((Celsius + 273) / TempScale + TempOffset);
    if (!(n >= std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (n > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(n);
}

std::string ModelName(int DeviceModel)
{
    if (DeviceModel == ModelKVT27)
        return "KVT27";
    if (DeviceModel == ModelKVT27L)
        return "KVT27L";
    return {};
}

} // namespace kvt
