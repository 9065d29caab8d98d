#include "model/loop_test.h"

#include "protocol/rounding.h"
#include "signal/config_rules.h"
#include "signal/number_format.h"
#include "signal/numeric_entry.h"
#include "signal/signal_kind.h"

#include <charconv>
#include <cmath>

namespace kvt {

namespace {

std::string Trimmed(std::string_view T)
{
    while (!T.empty() && (T.front() == ' ' || T.front() == '\t'))
        T.remove_prefix(1);
    while (!T.empty() && (T.back() == ' ' || T.back() == '\t'))
        T.remove_suffix(1);
    return std::string(T);
}

// The output's calibration: the codes at 0 and at full scale, and the full scale in its unit.
struct TCalibration {
    double Low, High, Full;
};

TCalibration CalibrationOf(int OutputMode, const TDeviceSettings& S)
{
    if (OutputMode == OutputModeCurrent)
        return {double(S.CalOut0mA), double(S.CalOut20mA), 20.0};
    return {double(S.CalOut0V), double(S.CalOut10V), 10.0};
}

} // namespace

std::optional<TLoopValue> ParseLoopValue(std::string_view Text, std::string& Why)
{
    const std::string t = Trimmed(Text);
    const size_t unitAt = t.find_first_not_of("0123456789.,+-");
    std::string number = t.substr(0, unitAt);
    std::string unit = unitAt == std::string::npos ? "" : Trimmed(t.substr(unitAt));
    TLoopValue v;
    double high = 0;
    if (unit == "mA" || unit == "ma") {
        v.Unit = TLoopUnit::MilliAmp;
        high = NumOutputRange(TNumOutputKind::Current).High;
    } else if (unit == "V" || unit == "v") {
        v.Unit = TLoopUnit::Volt;
        high = NumOutputRange(TNumOutputKind::Voltage).High;
    } else if (unit == "%") {
        v.Unit = TLoopUnit::Percent;
        high = 100;
    } else {
        Why = "is not a value with its unit, such as 12mA, 5V or 50%";
        return std::nullopt;
    }
    for (char& c : number)
        if (c == ',')
            c = '.';
    const char* begin = number.data() + (!number.empty() && number[0] == '+' ? 1 : 0);
    const char* end = number.data() + number.size();
    const auto [ptr, ec] = std::from_chars(begin, end, v.Number);
    if (number.empty() || ec != std::errc() || ptr != end || !std::isfinite(v.Number)) {
        Why = "is not a value with its unit, such as 12mA, 5V or 50%";
        return std::nullopt;
    }
    if (v.Number < 0 || v.Number > high) {
        Why = "is out of range 0.." + FormatFloat("0.###", high, ".") + " " + unit;
        return std::nullopt;
    }
    return v;
}

TLoopPlan PlanLoopValue(const TLoopValue& Value, const TDeviceSettings& Settings, int OutCodeMax)
{
    TLoopPlan p;
    p.OutputMode = EffectiveOutputMode(Settings);
    if (p.OutputMode != OutputModeCurrent && p.OutputMode != OutputModeVoltage) {
        p.Refusal = TLoopPlan::TRefusal::Refused;
        p.Why = "the converter's output is of no known kind (OutputMode " + std::to_string(Settings.OutputMode) + ")";
        return p;
    }
    const bool current = p.OutputMode == OutputModeCurrent;
    if ((Value.Unit == TLoopUnit::MilliAmp && !current) || (Value.Unit == TLoopUnit::Volt && current)) {
        p.Refusal = TLoopPlan::TRefusal::Refused;
        p.Why = std::string("the converter's output is a ") + (current ? "current output: give mA or %"
                                                                      : "voltage output: give V or %");
        return p;
    }
    const TCalibration cal = CalibrationOf(p.OutputMode, Settings);
    if (cal.High == cal.Low) {
        p.Refusal = TLoopPlan::TRefusal::OutOfRange;
        p.Why = "the converter's output calibration words are equal: they give no code for a value";
        return p;
    }
    p.Value = Value.Number;
    if (Value.Unit == TLoopUnit::Percent) {
        // The output range in engineering units, as the numeric fields show it.
        const double k = cal.Full / (cal.High - cal.Low);
        const double begin = (Settings.OutZero - cal.Low) * k;
        const double end = (Settings.OutEnd - cal.Low) * k;
        p.Value = begin + (end - begin) * Value.Number / 100.0;
    }
    const TNumOutputKind kind = current ? TNumOutputKind::Current : TNumOutputKind::Voltage;
    const double raw = OutputCodeValue(kind, p.Value, Settings);
    const double code = std::isfinite(raw) && std::fabs(raw) < 1e9 ? double(RoundHalfEven(raw)) : -1.0;
    if (code < 0 || code > OutCodeMax) {
        p.Refusal = TLoopPlan::TRefusal::OutOfRange;
        p.Why = "gives code " + (code < 0 && std::fabs(raw) >= 1e9 ? std::string("far outside") : FormatFloat("0", raw, ".")) +
            " on this converter, outside its codes 0.." + std::to_string(OutCodeMax);
        return p;
    }
    p.Code = static_cast<uint16_t>(code);
    return p;
}

std::string LoopValueText(const TLoopPlan& Plan, std::string_view DecimalSeparator)
{
    return FormatFloat("0.000", Plan.Value, DecimalSeparator) + (Plan.OutputMode == OutputModeCurrent ? " mA" : " V");
}

TLoopTest::~TLoopTest()
{
    if (FDriven)
        Release();
}

TOutcome TLoopTest::Drive(const TLoopPlan& Plan)
{
    if (!Plan.Ok())
        return {};
    const TOutcome o = FModel.DriveOutput(Plan.Code);
    // A drive whose write failed may still have gone out whole: it is given back all the same.
    FDriven = true;
    FLast = Plan;
    return o;
}

TOutcome TLoopTest::Release()
{
    if (!FDriven)
        return {};
    FDriven = false;
    return FModel.ReleaseOutput();
}

} // namespace kvt
