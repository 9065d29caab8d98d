#include "signal/conversion.h"

#include <algorithm>
#include <cstdint>

#include "protocol/rounding.h"
#include "signal/number_format.h"

namespace kvt {

namespace {

// Out-of-range words cannot occur from the converter, but a cast of an out-of-range double
// would be undefined: saturate instead.
int ToInt(double Value)
{
    const int64_t r = RoundHalfEven(std::clamp(Value, -2147483648.0, 2147483647.0));
    return static_cast<int>(r);
}

// (Raw - Low) * Span / (High - Low); equal calibration words would divide by zero.
int Scale(int Raw, int Low, int High, double Span)
{
    if (High == Low)
        return 0;
    const double factor = Span / static_cast<double>(High - Low);
    const double value = (static_cast<double>(Raw) - Low) * factor;
    return ToInt(value);
}

} // namespace

int NormalizeValueAD(const TDeviceSettings& Settings, int Raw, std::string& UnitSuffix)
{
    switch (SignalKindOf(Settings.ConfigType, Settings.InputMode)) {
    case TSignalKind::Current:
        UnitSuffix = SuffixMicroamp;
        return Scale(Raw, Settings.CalIn0mA, Settings.CalIn20mA, 20000.0);
    case TSignalKind::Voltage:
        UnitSuffix = SuffixMillivolt;
        return Scale(Raw, Settings.CalIn0V, Settings.CalIn10V, 10000.0);
    case TSignalKind::Percent:
        UnitSuffix = SuffixPercent;
        return ToInt(static_cast<double>(Raw) / 100.0);
    case TSignalKind::Millivolt: {
        UnitSuffix = SuffixMillivolt;
        double value = (static_cast<double>(Raw) - 32768.0) * 17.8527832;
        value = value * 0.1;
        return ToInt(value);
    }
    case TSignalKind::None:
        break;
    }
    return 0;
}

std::string ValueText(int ConfigType, int InputMode, int Value, std::string_view DecimalSeparator)
{
    if (IsMillivoltInput(ConfigType, InputMode))
        return FormatFloat("0.#", static_cast<double>(Value) / 100.0, DecimalSeparator);
    return std::to_string(Value);
}

std::string MeasurementText(int ConfigType, int InputMode, int Value, std::string_view UnitSuffix,
                            std::string_view DecimalSeparator)
{
    std::string text = ValueText(ConfigType, InputMode, Value, DecimalSeparator);
    text += UnitSuffix;
    return text;
}

} // namespace kvt
