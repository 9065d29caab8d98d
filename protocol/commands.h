// The command codes of the converter's 7-byte frames.
#pragma once

#include <cstdint>
#include <string>

namespace kvt {

constexpr uint8_t CmdReadWord = 25;
constexpr uint8_t CmdWriteWord = 52;
constexpr uint8_t CmdOutputRelease = 41;
constexpr uint8_t CmdOutputDrive = 42;
constexpr uint8_t CmdMeasure = 232;
constexpr uint8_t CmdReadConfig = 249;
constexpr uint8_t CmdReadTemperature = 250;
constexpr uint8_t CmdReadVersion = 254;
constexpr uint8_t CmdIdentify = 255;

// CmdMeasure parameters.
constexpr uint32_t MeasureStoreZero = 0;
constexpr uint32_t MeasureStoreEnd = 1;
constexpr uint32_t MeasureOnly = 2;

// A short English name for traces and tools ("identify", "read word", ...); empty for other codes.
std::string CommandName(uint8_t Command);

// The code of a name given by CommandName, or -1.
int CommandByName(const std::string& Name);

} // namespace kvt
