#include "signal/field_text.h"

#include "signal/conversion.h"
#include "signal/number_format.h"
#include "signal/signal_kind.h"

namespace kvt {

namespace {

std::string SignedText(double Value, std::string_view NegativePicture,
                       std::string_view PositivePicture, std::string_view Sep)
{
    if (Value < 0) {
        std::string text = FormatFloat(NegativePicture, Value, Sep);
        if (!text.empty() && text.front() == '-')
            return text;
    }
    return FormatFloat(PositivePicture, Value, Sep);
}

} // namespace

std::optional<std::string> InputFieldText(int InputMode, int Value, int StoredWord,
                                          std::string_view DecimalSeparator)
{
    switch (InputMode) {
    case InputModeCurrent:
    case InputModeVoltage:
        return SignedText(Value / 1000.0, "#00.000", "000.000", DecimalSeparator);
    case InputModeMillivolt:
        return SignedText(Value / 100.0, "#000.0", "0000.0", DecimalSeparator);
    case InputModePercent:
        return FormatFloat("000.00", StoredWord / 100.0, DecimalSeparator);
    default:
        return std::nullopt;
    }
}

std::optional<std::string> OutputFieldText(int OutputMode, int Code, const TDeviceSettings& Settings,
                                           std::string_view DecimalSeparator)
{
    int low = 0;
    int high = 0;
    double span = 0;
    if (OutputMode == OutputModeCurrent) {
        low = Settings.CalOut0mA;
        high = Settings.CalOut20mA;
        span = 20.0;
    } else if (OutputMode == OutputModeVoltage) {
        low = Settings.CalOut0V;
        high = Settings.CalOut10V;
        span = 10.0;
    } else {
        return std::nullopt;
    }
    double value = 0;
    if (high != low) {
        const double k = span / (static_cast<double>(high) - low);
        value = (static_cast<double>(Code) - low) * k;
    }
    return FormatFloat("00.000", value, DecimalSeparator);
}

TFieldTexts InputFieldTexts(const TDeviceSettings& Settings, std::string& UnitSuffix,
                            std::string_view DecimalSeparator)
{
    const int begin = NormalizeValueAD(Settings, Settings.InZero, UnitSuffix);
    const int end = NormalizeValueAD(Settings, Settings.InEnd, UnitSuffix);
    auto b = InputFieldText(Settings.InputMode, begin, Settings.InZero, DecimalSeparator);
    auto e = InputFieldText(Settings.InputMode, end, Settings.InEnd, DecimalSeparator);
    if (!b || !e)
        return {};
    return {true, std::move(*b), std::move(*e)};
}

TFieldTexts OutputFieldTexts(const TDeviceSettings& Settings, std::string_view DecimalSeparator)
{
    auto b = OutputFieldText(Settings.OutputMode, Settings.OutZero, Settings, DecimalSeparator);
    auto e = OutputFieldText(Settings.OutputMode, Settings.OutEnd, Settings, DecimalSeparator);
    if (!b || !e)
        return {};
    return {true, std::move(*b), std::move(*e)};
}

} // namespace kvt
