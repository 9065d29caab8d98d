#include "signal/numeric_entry.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "protocol/rounding.h"
#include "signal/signal_kind.h"

namespace kvt {

TNumMask NumInputMask(TNumInputKind Kind)
{
    switch (Kind) {
    case TNumInputKind::Current:
        return {"#99,999;1;0", "#00,000; ", "000,000", "mA"};
    case TNumInputKind::Voltage:
        return {"#99,999;1;0", "#00,000; ", "000,000", "V"};
    case TNumInputKind::Millivolt:
        return {"#999,9;1;0", "#000,0; ", "0000,0", "mV"};
    case TNumInputKind::Percent:
        break;
    }
    return {"#99,99;1;0", "#00,00; ", "000,00", "%"};
}

std::string_view NumOutputUnit(TNumOutputKind Kind)
{
    return Kind == TNumOutputKind::Current ? "mA" : "V";
}

int InputModeOf(TNumInputKind Kind)
{
    switch (Kind) {
    case TNumInputKind::Current:
        return InputModeCurrent;
    case TNumInputKind::Voltage:
        return InputModeVoltage;
    case TNumInputKind::Millivolt:
        return InputModeMillivolt;
    case TNumInputKind::Percent:
        break;
    }
    return InputModePercent;
}

int OutputModeOf(TNumOutputKind Kind)
{
    return Kind == TNumOutputKind::Current ? OutputModeCurrent : OutputModeVoltage;
}

TFieldValue ReadMaskField(std::string_view Text)
{
    TFieldValue result;
    std::string intDigits;
    std::string decDigits;
    bool negative = false;
    bool comma = false;
    bool valid = true;
    for (size_t i = 0; i < Text.size() && valid; ++i) {
        char c = Text[i] == ' ' ? '0' : Text[i];
        if (c >= '0' && c <= '9') {
            (comma ? decDigits : intDigits).push_back(c);
        } else if ((c == '-' || c == '+') && i == 0) {
            negative = c == '-';
        } else if (c == ',' && !comma) {
            comma = true;
        } else {
            valid = false;
        }
    }
    if (valid) {
        // Built in the one form from_chars reads the same in every locale.
        std::string number = (intDigits.empty() ? "0" : intDigits) + "."
                             + (decDigits.empty() ? "0" : decDigits);
        double value = 0;
        auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (ec == std::errc() && ptr == number.data() + number.size() && std::isfinite(value)) {
            result.Ok = true;
            result.Value = negative ? -value : value;
            return result;
        }
    }
    result.Error.reserve(Text.size() + 24);
    result.Error.append("'").append(Text).append("' is not a valid number");
    return result;
}

bool MaskFieldComplete(std::string_view Text)
{
    // 0: before the digits, 1: in them, 2: after them.
    int state = 0;
    bool comma = false;
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if (c >= '0' && c <= '9') {
            if (state == 2)
                return false;
            state = 1;
        } else if (c == ' ') {
            if (state == 1) {
                if (!comma)
                    return false;
                state = 2;
            }
        } else if (c == ',') {
            comma = true;
        } else if ((c == '-' || c == '+') && i == 0) {
        } else {
            return false;
        }
    }
    return state != 0;
}

TValueRange NumInputRange(TNumInputKind Kind)
{
    switch (Kind) {
    case TNumInputKind::Current:
        return {-20.5, 20.5};
    case TNumInputKind::Voltage:
        return {-10.3, 10.3};
    case TNumInputKind::Millivolt:
        return {-585.0, 585.0};
    case TNumInputKind::Percent:
        break;
    }
    return {-100.0, 100.0};
}

TValueRange NumOutputRange(TNumOutputKind Kind)
{
    const double low = -std::numeric_limits<double>::infinity();
    return Kind == TNumOutputKind::Current ? TValueRange{low, 21.0} : TValueRange{low, 10.5};
}

double InputRawValue(TNumInputKind Kind, double Value, const TDeviceSettings& Settings)
{
    auto linear = [Value](double Cal0, double CalFull, double Full) {
        double s = CalFull - Cal0;
        const double o = Cal0 - s;
        s = s / Full;
        return (Value + Full) * s + o;
    };
    switch (Kind) {
    case TNumInputKind::Current:
        return linear(Settings.CalIn0mA, Settings.CalIn20mA, 20.0);
    case TNumInputKind::Voltage:
        return linear(Settings.CalIn0V, Settings.CalIn10V, 10.0);
    case TNumInputKind::Millivolt:
        return (Value + 585.0) * 56.01282051282051;
    case TNumInputKind::Percent:
        break;
    }
    return Value * 100.0;
}

double OutputCodeValue(TNumOutputKind Kind, double Value, const TDeviceSettings& Settings)
{
    if (Kind == TNumOutputKind::Current) {
        const double k = (static_cast<double>(Settings.CalOut20mA) - Settings.CalOut0mA) / 20.0;
        return Value * k + Settings.CalOut0mA;
    }
    const double k = (static_cast<double>(Settings.CalOut10V) - Settings.CalOut0V) / 10.0;
    return Value * k + Settings.CalOut0V;
}

namespace {

constexpr double WordMax = 65535.0;

// The rounded word, or -1 when it does not fit 16 bits unsigned.
int ToWord(double Raw)
{
    // Compare before rounding to keep the cast defined; halves round to even inside the range.
    if (!(Raw >= -0.5 && Raw <= WordMax + 0.5))
        return -1;
    const int64_t word = RoundHalfEven(Raw);
    return word >= 0 && word <= 65535 ? static_cast<int>(word) : -1;
}

template <typename Kind, typename RangeFn, typename ConvertFn>
TEntryResult Compute(Kind K, std::string_view BeginText, std::string_view EndText,
                     const TDeviceSettings& Settings, RangeFn Range, ConvertFn Convert)
{
    TEntryResult result;
    const TFieldValue begin = ReadMaskField(BeginText);
    if (!begin.Ok) {
        result.Error = begin.Error;
        return result;
    }
    const TFieldValue end = ReadMaskField(EndText);
    if (!end.Ok) {
        result.Error = end.Error;
        return result;
    }
    if (!MaskFieldComplete(BeginText)) {
        result.Status = TEntryStatus::BeginIncomplete;
        return result;
    }
    if (!MaskFieldComplete(EndText)) {
        result.Status = TEntryStatus::EndIncomplete;
        return result;
    }
    const TValueRange range = Range(K);
    auto inRange = [&](double v) { return v >= range.Low && v <= range.High; };
    if (!inRange(begin.Value)) {
        result.Status = TEntryStatus::BeginOutOfRange;
        return result;
    }
    if (!inRange(end.Value)) {
        result.Status = TEntryStatus::EndOutOfRange;
        return result;
    }
    const int beginWord = ToWord(Convert(K, begin.Value, Settings));
    if (beginWord < 0) {
        result.Status = TEntryStatus::BeginOutOfRange;
        return result;
    }
    const int endWord = ToWord(Convert(K, end.Value, Settings));
    if (endWord < 0) {
        result.Status = TEntryStatus::EndOutOfRange;
        return result;
    }
    // A range of no width would make every input the begin and the end at once.
    result.Status = beginWord == endWord ? TEntryStatus::EmptyRange : TEntryStatus::Ok;
    result.Begin = beginWord;
    result.End = endWord;
    return result;
}

} // namespace

TEntryResult ComputeInputRange(TNumInputKind Kind, std::string_view BeginText,
                               std::string_view EndText, const TDeviceSettings& Settings)
{
    return Compute(Kind, BeginText, EndText, Settings, NumInputRange, InputRawValue);
}

TEntryResult ComputeOutputRange(TNumOutputKind Kind, std::string_view BeginText,
                                std::string_view EndText, const TDeviceSettings& Settings)
{
    return Compute(Kind, BeginText, EndText, Settings, NumOutputRange, OutputCodeValue);
}

} // namespace kvt
