// Picture formatting of numbers ("0.#", "#00.000", "000.00", ...).
#pragma once

#include <string>
#include <string_view>

namespace kvt {

// Formats Value by a picture of '0' (digit always shown), '#' (digit shown only when
// significant) and one '.' (place of the decimal separator, written as DecimalSeparator).
// Other picture characters are ignored. More integer digits than the picture has are all shown.
//
// Rounding: the value is first taken to 15 significant decimal digits (so binary noise below
// that never decides a half: 123.45 is 123.450000000000), then rounded to the decimals the
// picture can show, a half going away from zero (123.45 -> "123.5", 0.125 -> "0.13",
// -3.45 -> "-3.5"). A negative value gets a leading '-', unless it shows as zero.
// Infinite and NaN values give "INF", "-INF" and "NAN".
std::string FormatFloat(std::string_view Picture, double Value, std::string_view DecimalSeparator);

} // namespace kvt
