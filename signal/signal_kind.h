// What the converter's configuration code and input mode mean to the program.
#pragma once

#include <string_view>

namespace kvt {

// The signal family that decides the conversion, the chart scale and the units.
enum class TSignalKind {
    None,      // no conversion (ConfigType 11..14, above 15, or 15 with an unknown InputMode)
    Current,   // microamperes
    Voltage,   // millivolts
    Millivolt, // hundredths of a millivolt (the +/-585 mV input)
    Percent,   // percent (resistance transmitter)
};

// How the connection sequence treats a ConfigType.
enum class TConfigClass {
    Dip,        // 0..10: DIP-switch configuration
    NotAllowed, // 11..14: ends the connection
    Pc,         // 15: signal kinds chosen from the program
    Unknown,    // anything else (negative or above 15)
};

// InputMode values (settings word 4) and OutputMode values (settings word 6).
constexpr int InputModeCurrent = 3;
constexpr int InputModeVoltage = 4;
constexpr int InputModeMillivolt = 5;
constexpr int InputModePercent = 6;
constexpr int OutputModeCurrent = 3;
constexpr int OutputModeVoltage = 4;

constexpr int ConfigTypePc = 15;

TConfigClass ConfigClassOf(int ConfigType);

// Text shown after MsgConfigIs at connection, in Czech; empty for codes without a text
// of their own (11..14 use MsgBadConfig, 15 shows nothing, others have none).
std::string_view ConfigTypeText(int ConfigType);
// The same descriptions in English, for the English window.
std::string_view ConfigTypeTextEnglish(int ConfigType);

// Family by ConfigType; under ConfigType 15 by InputMode.
TSignalKind SignalKindOf(int ConfigType, int InputMode);

// ConfigType 15 with InputMode 5: the only case shown as v / 100 with one optional decimal.
inline bool IsMillivoltInput(int ConfigType, int InputMode)
{
    return ConfigType == ConfigTypePc && InputMode == InputModeMillivolt;
}

} // namespace kvt
