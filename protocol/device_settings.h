// The program's copy of the converter's identification values and settings words.
#pragma once

#include <cstdint>

namespace kvt {

// Settings-word addresses (CmdReadWord / CmdWriteWord).
enum TSettingsWord : uint8_t {
    WordInputMode = 4,
    WordOutputMode = 6,
    WordFilterType = 8,
    WordInZero = 10,
    WordInEnd = 12,
    WordOutZero = 14,
    WordOutEnd = 16,
    WordLimitReaction = 44,
    WordCalIn0mA = 130,
    WordCalIn20mA = 132,
    WordCalOut0mA = 134,
    WordCalOut20mA = 136,
    WordCalIn0V = 138,
    WordCalIn10V = 140,
    WordCalOut0V = 142,
    WordCalOut10V = 144,
};

constexpr int ModelKVT27 = 10;
constexpr int ModelKVT27L = 12;

// One record for the whole run; every field zero at start. Words hold the 16-bit value unsigned.
struct TDeviceSettings {
    int StationAddress = 0;
    int DeviceModel = 0;
    int32_t FirmwareVersion = 0;
    int ConfigType = 0;
    int InputMode = 0;
    int OutputMode = 0;
    int FilterType = 0;
    int InZero = 0;
    int InEnd = 0;
    int LimitReaction = 0;
    int CalIn0mA = 0;
    int CalIn20mA = 0;
    int CalIn0V = 0;
    int CalIn10V = 0;
    int CalOut0mA = 0;
    int CalOut20mA = 0;
    int CalOut0V = 0;
    int CalOut10V = 0;
    int OutZero = 0;
    int OutEnd = 0;
};

} // namespace kvt
