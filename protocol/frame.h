// The 7-byte command frame, used in both directions: command, station address, three data bytes,
// then the inverted CRC-16 of the first five bytes, low byte first.
#pragma once

#include "protocol/crc16.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvt {

constexpr int FrameSize = 7;
using TFrame = std::array<uint8_t, FrameSize>;

// Builds a frame with Acc as the accumulator (reset first); Acc ends at the CRC of bytes 1-5.
TFrame BuildFrame(TCrc16& Acc, uint8_t Command, uint8_t Station, uint8_t P1, uint8_t P2, uint8_t P3);
TFrame BuildFrame(uint8_t Command, uint8_t Station, uint8_t P1, uint8_t P2, uint8_t P3);

// Send and DA: 24-bit parameter, most significant byte first; bits above 23 are dropped.
TFrame BuildSendFrame(uint8_t Command, uint8_t Station, uint32_t Parameter);
// SendEE: address byte, then the 16-bit value high byte first.
TFrame BuildSendEEFrame(uint8_t Command, uint8_t Station, uint8_t Address, uint16_t Value);

// True when bytes 6-7 carry the inverted CRC of bytes 1-5.
bool FrameCrcOk(const TFrame& Frame);

// The reply check of every transaction: Acc is reset, the bytes but the last two are folded in,
// and the result is compared with the inverted last two bytes; byte 1 must echo Command.
// Anything shorter than 3 bytes is rejected.
bool ReplyValid(TCrc16& Acc, std::string_view Reply, uint8_t Command);
bool ReplyValid(std::string_view Reply, uint8_t Command);

// Reply fields, big-endian; missing bytes count as 0.
uint16_t ReplyWord(std::string_view Reply);  // bytes 4-5
uint32_t ReplyLong(std::string_view Reply);  // bytes 2-5
uint16_t ReplyWord(const TFrame& Reply);
uint32_t ReplyLong(const TFrame& Reply);

// The 24-bit parameter of a request (bytes 3-5).
uint32_t FrameParameter(const TFrame& Frame);

std::string FrameToString(const TFrame& Frame);
// The first seven bytes of Data; missing bytes are 0.
TFrame FrameFromString(std::string_view Data);

// "FF 11 00 00 00 EE D7"
std::string HexBytes(std::string_view Data);
std::string HexBytes(const TFrame& Frame);

} // namespace kvt
