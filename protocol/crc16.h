// CRC-16 of the command frames: polynomial A001h (reflected 8005h), initial value 0, no final XOR.
// Frames carry the inverted value, low byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvt {

namespace detail {
// Parity of each nibble: 1 when it has an odd number of 1-bits.
inline constexpr uint8_t NibbleParity[16] = {0, 1, 1, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 1, 0};
} // namespace detail

// Folds one byte into the accumulator R and returns the new value.
constexpr uint16_t Crc16Step(uint16_t R, uint8_t B)
{
    const unsigned d = (B ^ R) & 0xFFu;
    unsigned r = R >> 8;
    if (detail::NibbleParity[d & 0x0Fu] ^ detail::NibbleParity[d >> 4])
        r ^= 0xC001u;
    r ^= d << 6;
    r ^= d << 7;
    return static_cast<uint16_t>(r);
}

constexpr uint16_t Crc16Of(const uint8_t* Data, std::size_t Length)
{
    uint16_t r = 0;
    for (std::size_t i = 0; i < Length; ++i)
        r = Crc16Step(r, Data[i]);
    return r;
}

// The one accumulator a frame build or a reply check works on.
class TCrc16 {
public:
    void Reset() { FValue = 0; }
    void Crc16(uint8_t B) { FValue = Crc16Step(FValue, B); }
    uint16_t Value() const { return FValue; }

private:
    uint16_t FValue = 0;
};

} // namespace kvt
