#pragma once

#include <cmath>
#include <cstdint>

namespace kvt {

// Nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
inline int64_t RoundHalfEven(double Value)
{
    double r = std::round(Value); // halves away from zero
    if (std::fabs(Value - std::trunc(Value)) == 0.5)
        r = 2.0 * std::round(Value / 2.0);
    return static_cast<int64_t>(r);
}

} // namespace kvt
