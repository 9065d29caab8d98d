// The loop test: the converter's output forced to a value in engineering units (mA, V, or % of
// its output range) while the control system's reading is checked, then given back. The code
// comes from the converter's own output calibration words, as the numeric output entry computes it.
#pragma once

#include "model/converter_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvt {

enum class TLoopUnit { MilliAmp, Volt, Percent };

struct TLoopValue {
    double Number = 0;
    TLoopUnit Unit = TLoopUnit::MilliAmp;
};

// "12mA", "12 mA", "4.5V", "50%", a comma for the point too. Nothing, with Why ("is out of range
// 0..21 mA"), for another text or a value outside what any converter drives: 0..21 mA, 0..10.5 V,
// 0..100 %.
std::optional<TLoopValue> ParseLoopValue(std::string_view Text, std::string& Why);

// What a value comes to on one converter.
struct TLoopPlan {
    enum class TRefusal {
        None,
        OutOfRange, // beyond the model's codes, or a calibration that gives no code for it
        Refused,    // the output is of the other kind, or of none
    };
    TRefusal Refusal = TRefusal::None;
    std::string Why;
    uint16_t Code = 0;
    int OutputMode = 0; // the output kind in force (OutputModeCurrent, OutputModeVoltage)
    double Value = 0;   // in mA or V: the value asked for, a percentage taken on the output range
    bool Ok() const { return Refusal == TRefusal::None; }
};

// The code for Value on the converter of Settings, whose highest code is OutCodeMax. A percentage
// is taken on the output range (OutZero .. OutEnd) in engineering units.
TLoopPlan PlanLoopValue(const TLoopValue& Value, const TDeviceSettings& Settings, int OutCodeMax);

// "12.000 mA", "5.000 V": a plan's value as the numeric fields show it (the point whatever the locale).
std::string LoopValueText(const TLoopPlan& Plan, std::string_view DecimalSeparator = ".");

// One loop test on a connected converter: the output driven, and given back whatever ends it.
// The destructor gives it back too, when it is still driven.
class TLoopTest {
public:
    explicit TLoopTest(TConverterModel& Model) : FModel(Model) {}
    ~TLoopTest();
    TLoopTest(const TLoopTest&) = delete;
    TLoopTest& operator=(const TLoopTest&) = delete;

    // Drives the output with the plan's code; nothing is sent for a refused plan.
    TOutcome Drive(const TLoopPlan& Plan);
    // Gives the output back to the converter when it is driven; Ok when nothing was to be done.
    // A release that could not be written leaves Driven() false too: there is nothing more to try.
    TOutcome Release();
    bool Driven() const { return FDriven; }
    // The port that carried the drive is closed: nothing is held any more, nothing is sent.
    void Forget() { FDriven = false; }
    // The plan driven last.
    const TLoopPlan& Last() const { return FLast; }

private:
    TConverterModel& FModel;
    bool FDriven = false;
    TLoopPlan FLast;
};

} // namespace kvt
