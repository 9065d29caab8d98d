// The converter's line: 4800 Bd, 8 data bits, no parity, one stop bit, DTR off, RTS on, and
// 100 ms plus 100 ms per byte for each read and write, so a missing 7-byte reply fails at 800 ms.
#pragma once

#include "serial/comport.h"

namespace kvt {

// Sets every line setting and time limit of the converter's line; the rest of the port (device
// name, handlers, Active) stays as it is.
void ApplyConverterLineSettings(TComPort& Port);

} // namespace kvt
