// The sixteen settings words: address, the field of the settings record that holds a copy, and
// the name used by traces, tools and configuration files. One table for all of them.
#pragma once

#include "protocol/device_settings.h"

#include <array>
#include <cstdint>
#include <string>

namespace kvt {

struct TSettingsWordRow {
    uint8_t Address;
    int TDeviceSettings::*Field;
    const char* Name;
};

// The sixteen words in address order.
extern const std::array<TSettingsWordRow, 16> SettingsWords;

// The row of a settings word, or nullptr for other addresses.
const TSettingsWordRow* FindSettingsWord(uint8_t Address);

// The name of a settings word ("InputMode"), or empty for other addresses.
std::string WordName(uint8_t Address);

// The address of a named word (case-insensitive), or -1.
int WordAddressByName(const std::string& Name);

// The record's copy of the word at Address; 0 for other addresses.
int WordValue(const TDeviceSettings& Settings, uint8_t Address);

// The eighteen reads of the settings load, in their order (words 14 and 16 come twice: first for
// the output code fields, last for the record).
inline constexpr std::array<uint8_t, 18> LoadEEOrder = {
    4, 6, 14, 16, 8, 130, 132, 138, 140, 10, 12, 44, 134, 136, 142, 144, 14, 16};

} // namespace kvt
