// Texts of the numeric range fields as the settings show them (DrawForm).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/device_settings.h"

namespace kvt {

// The numeric fields are always written with the comma of their edit masks, whatever the
// system's decimal separator: with another separator the text would not fit the mask.
inline constexpr std::string_view MaskDecimalSeparator = ",";

// One input field. Value is the NormalizeValueAD result, StoredWord the raw InZero / InEnd word.
// InputMode 3, 4: Value / 1000, "#00.000" when negative, else "000.000" (-5250 -> "-05,250");
//           5:    Value / 100,  "#000.0"  when negative, else "0000.0"  (12340 -> "0123,4");
//           6:    StoredWord / 100 with "000.00" (2550 -> "025,50");
//           other: nullopt, the field is left as it is.
// "Negative" means negative as shown: a value that rounds to zero takes the positive picture,
// so the text always fits the mask.
std::optional<std::string> InputFieldText(int InputMode, int Value, int StoredWord,
                                          std::string_view DecimalSeparator = MaskDecimalSeparator);

// One output field from a DA code: OutputMode 3: (Code - CalOut0mA) * 20 / (CalOut20mA - CalOut0mA)
// mA; 4: (Code - CalOut0V) * 10 / (CalOut10V - CalOut0V) V; both "00.000" (4100 with 100 / 16100
// -> "05,000"). Equal calibration words give 0 ("00,000"). Other modes: nullopt.
std::optional<std::string> OutputFieldText(int OutputMode, int Code, const TDeviceSettings& Settings,
                                           std::string_view DecimalSeparator = MaskDecimalSeparator);

struct TFieldTexts {
    bool Fill = false; // false: leave both fields as they are
    std::string Begin;
    std::string End;
};

// Input fields of the numeric tab from the settings: begin and end are converted with
// NormalizeValueAD first, whatever the InputMode (which updates UnitSuffix as a side effect).
TFieldTexts InputFieldTexts(const TDeviceSettings& Settings, std::string& UnitSuffix,
                            std::string_view DecimalSeparator = MaskDecimalSeparator);

// Output fields of the numeric tab from the program's OutZero / OutEnd copies.
TFieldTexts OutputFieldTexts(const TDeviceSettings& Settings,
                             std::string_view DecimalSeparator = MaskDecimalSeparator);

} // namespace kvt
