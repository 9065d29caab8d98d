// The output DA code fields: clamping, reading the field text, the bar position.
#pragma once

#include <string_view>

namespace kvt {

// Below 0 -> 0; then above Limit -> Limit.
inline int ClampCode(int Value, int Limit)
{
    if (Value < 0)
        Value = 0;
    if (Value > Limit)
        Value = Limit;
    return Value;
}

// The value of a code field's text: a whole number (optional sign, digits, blanks around it);
// any other text counts as the field's minimum, 0. A whole number too large for an int
// saturates, so the clamp still brings it to the limit.
int CodeFromFieldText(std::string_view Text);

// Position of the output bar (0..200): Code div BarDivisor; 0 for a divisor of 0.
inline int BarPosition(int Code, int BarDivisor)
{
    return BarDivisor == 0 ? 0 : Code / BarDivisor;
}

} // namespace kvt
