// What one datalog reading shows, stores and plots.
#pragma once

#include <string>
#include <string_view>

namespace kvt {

struct TSample {
    std::string Text; // shown in EdtDatalog and stored in the log table
    int ChartValue;   // plotted on the trend chart
};

// Value is the NormalizeValueAD result. Millivolt input (ConfigType 15, InputMode 5): text
// Value / 100 with "0.#" and the locale's DecimalSeparator, chart Value / 100 truncated toward
// zero (350 -> "3,5" and 3; -350 -> "-3,5" and -3). Other kinds: the integer, plotted as is.
TSample SampleDisplay(int ConfigType, int InputMode, int Value, std::string_view DecimalSeparator);

} // namespace kvt
