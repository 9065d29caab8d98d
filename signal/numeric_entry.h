// Numeric range entry: edit masks, reading the masked fields, valid ranges, and the conversion
// of entered engineering values to raw input words and output DA codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/device_settings.h"

namespace kvt {

enum class TNumInputKind { Current, Voltage, Millivolt, Percent };
enum class TNumOutputKind { Current, Voltage };

// Masks in the "picture;1;0" form: '#' digit or sign, '9' optional digit, ',' a literal comma;
// "1": the literals are part of the text; "0": the character standing for an unfilled position.
// QtMask is the same picture as a QLineEdit input mask ('0' optional digit) whose unfilled
// positions are blanks; read such a field from its displayText(), which keeps the positions.
struct TNumMask {
    std::string_view Mask;
    std::string_view QtMask;
    std::string_view ZeroText; // text the kind handler puts into both fields
    std::string_view Unit;     // unit label beside the fields
};

// The input fields before any kind is chosen.
inline constexpr std::string_view NumInputInitialMask = "#99,999;1;0";
inline constexpr std::string_view NumInputInitialQtMask = "#00,000; ";
inline constexpr std::string_view NumInputInitialText = "   ,   ";
// The output fields keep their mask for both kinds.
inline constexpr std::string_view NumOutputMask = "99,999;1;0";
inline constexpr std::string_view NumOutputQtMask = "00,000; ";
inline constexpr std::string_view NumOutputInitialText = "  ,   ";

TNumMask NumInputMask(TNumInputKind Kind);
std::string_view NumOutputUnit(TNumOutputKind Kind); // "mA" / "V"

int InputModeOf(TNumInputKind Kind);   // 3, 4, 5, 6
int OutputModeOf(TNumOutputKind Kind); // 3, 4

// Reading a masked field: every space counts as the digit 0 (unfilled positions), the comma is
// the decimal separator whatever the system's one. Accepts an optional sign, digits, and one
// comma; a text of blanks only reads as 0. Anything else is refused with a message.
struct TFieldValue {
    bool Ok = false;
    double Value = 0;
    std::string Error; // set when !Ok
};
TFieldValue ReadMaskField(std::string_view Text);

// Whether a masked field holds a whole number: at least one digit, the digits in one run, blanks
// only before it in the integer part (leading zeros) and after it in the decimals (trailing
// zeros). A blank that would stand for a zero inside the number ("4  ," read as 400, "1 5" as
// 105) makes the field incomplete, as does a field with no digit.
bool MaskFieldComplete(std::string_view Text);

// Valid entered values, both ends inclusive. The output kinds have no lower limit (-infinity).
struct TValueRange {
    double Low;
    double High;
};
TValueRange NumInputRange(TNumInputKind Kind);   // +-20.5 mA, +-10.3 V, +-585 mV, +-100 %
TValueRange NumOutputRange(TNumOutputKind Kind); // at most 21 mA, 10.5 V

// Entered value to the raw value before rounding (doubles throughout).
// Current: s = CalIn20mA - CalIn0mA; o = CalIn0mA - s; s = s / 20; (Value + 20) * s + o.
// Voltage likewise with CalIn0V, CalIn10V and 10. Millivolt: (Value + 585) * 65535 / 1170.
// Percent: Value * 100.
double InputRawValue(TNumInputKind Kind, double Value, const TDeviceSettings& Settings);
// Output: Value * (CalOut20mA - CalOut0mA) / 20 + CalOut0mA, or with CalOut0V, CalOut10V and 10.
double OutputCodeValue(TNumOutputKind Kind, double Value, const TDeviceSettings& Settings);

enum class TEntryStatus {
    Ok,
    BadNumber,       // a field text does not convert: show Error in the general error box
    BeginOutOfRange, // show MsgBeginOutOfRange, write nothing
    EndOutOfRange,   // show MsgEndOutOfRange, write nothing
    BeginIncomplete, // the begin field is empty or incomplete: write nothing
    EndIncomplete,   // the end field likewise
    EmptyRange,      // begin and end give the same word: write nothing
};

struct TEntryResult {
    TEntryStatus Status = TEntryStatus::BadNumber;
    int Begin = 0; // word to write (0..65535) when Ok
    int End = 0;
    std::string Error; // BadNumber only
};

// Both fields are read first (a bad text refuses the entry), then checked to be complete. Then, in
// this order: the begin's valid range, the end's valid range, the begin's word, the end's word,
// and that the two words differ (a begin above its end is allowed: an inverted range). A word whose
// rounded raw value falls outside 0..65535 (it would be stored as a quite different range) refuses
// the entry like a value out of range, with the message for that field. Words round halves to even.
TEntryResult ComputeInputRange(TNumInputKind Kind, std::string_view BeginText,
                               std::string_view EndText, const TDeviceSettings& Settings);
TEntryResult ComputeOutputRange(TNumOutputKind Kind, std::string_view BeginText,
                                std::string_view EndText, const TDeviceSettings& Settings);

// Below 1.400/000000 the converter needs a power cycle to take a numeric input range.
inline bool NeedsPowerCycle(int32_t FirmwareVersion) { return FirmwareVersion < 1400000000; }

} // namespace kvt
