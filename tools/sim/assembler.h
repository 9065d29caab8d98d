// Cuts the received byte stream into frames. A frame may arrive in pieces; where seven bytes do not
// carry a valid CRC the window slides on by one byte, so garbage before or between frames is
// dropped byte by byte and the next good frame is found wherever it starts.
#pragma once

#include "protocol/frame.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace kvt::sim {

class TFrameAssembler {
public:
    void Feed(const uint8_t* Data, std::size_t Length);

    // The next frame with a good CRC, if seven such bytes are there.
    bool Next(TFrame& Frame);

    std::size_t Pending() const { return FBuffer.size(); }
    // Bytes dropped while looking for a frame since the last call.
    std::vector<uint8_t> TakeSkipped();
    void Clear();

private:
    std::deque<uint8_t> FBuffer;
    std::vector<uint8_t> FSkipped;
};

} // namespace kvt::sim
