// What may be written into each settings word, and what the words mean, by the converter's model
// and configuration: the limits the program's controls keep, for configuration files and kvt27ctl.
#pragma once

#include "protocol/device_settings.h"
#include "signal/config_error.h"

#include <cstdint>
#include <string>

namespace kvt {

// The program's English texts that the tools repeat.
inline constexpr const char* MsgBadConfigText = "Not allowed configuration! Please set correct DIP switch position.";
inline constexpr const char* MsgDropOnlyCurrentText =
    "Output signal drop to 3,5 mA is only possible when 4 - 20mA current output is selected.";
inline constexpr const char* MsgPowerCycleText =
    "Please turn-off and turn-on converter power supply, to succesfully complete user calibration process.";

// The configuration as info shows it: the Czech configuration text for 0..10, the not-allowed
// text for 11..14, PC mode for 15.
std::string ConfigTypeDescription(int ConfigType);

// Short English meanings of a value, empty for a value without one.
std::string InputModeMeaning(int Value);
std::string OutputModeMeaning(int Value);
std::string FilterMeaning(int Value);
std::string ReactionMeaning(int Value);
// The meaning of Value in the word at Address (kinds, filter, reaction), or empty.
std::string WordMeaning(uint8_t Address, int Value);

// The signal kinds in force: under PC mode the InputMode / OutputMode words, under a DIP
// configuration the kinds its switches choose. 0 when there is none (an unknown word or code).
int EffectiveInputMode(const TDeviceSettings& Settings);
int EffectiveOutputMode(const TDeviceSettings& Settings);

// Throws EConfigError(Refused) for a configuration the program does not work with (11..14, above 15).
void RequireUsableConfig(const TDeviceSettings& Settings);

// The writable words; the calibration words and unknown names are refused.
bool WritableWord(uint8_t Address);

// Checks one value for one writable word on this converter. Returns Ok, or BadValue for a
// value outside what the word holds (kinds 3..6 / 3..4, filter 0..2, reaction 0..3, input words
// 0..65535, output codes 0..OutCodeMax), or Refused for a value the model or configuration
// does not allow (millivolt input or filter on a KVT27L, a reaction without the feature, the
// 3.5 mA drop outside configuration 0); Message says why.
TValueCheck CheckWordValue(uint8_t Address, long long Value, const TDeviceSettings& Settings, std::string& Message);

} // namespace kvt
