// Names of the sixteen settings words, for traces, tools and configuration files.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kvt {

struct TWordName {
    uint8_t Address;
    const char* Name;
};

// The sixteen words in address order.
extern const std::array<TWordName, 16> SettingsWordNames;

// The name of a settings word ("InputMode"), or empty for other addresses.
std::string WordName(uint8_t Address);

// The address of a named word (case-insensitive), or -1.
int WordAddressByName(const std::string& Name);

// The eighteen reads of the settings load, in their order (words 14 and 16 come twice).
inline constexpr std::array<uint8_t, 18> LoadEEOrder = {
    4, 6, 14, 16, 8, 130, 132, 138, 140, 10, 12, 44, 134, 136, 142, 144, 14, 16};

} // namespace kvt
