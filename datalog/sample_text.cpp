#include "datalog/sample_text.h"

#include "signal/conversion.h"
#include "signal/signal_kind.h"

namespace kvt {

TSample SampleDisplay(int ConfigType, int InputMode, int Value, std::string_view DecimalSeparator)
{
    TSample s{ValueText(ConfigType, InputMode, Value, DecimalSeparator), Value};
    if (IsMillivoltInput(ConfigType, InputMode))
        s.ChartValue = Value / 100; // integer division truncates toward zero
    return s;
}

} // namespace kvt
