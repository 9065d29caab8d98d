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
    // Every byte dropped so far.
    uint64_t Dropped() const { return FDropped; }
    // Seven bytes that stood where a frame was due (right after a good frame, or at the start),
    // began with a command code but failed the CRC, since the last call: most likely a damaged
    // request, so worth showing whole.
    std::vector<TFrame> TakeBadFrames();
    // The other bytes dropped since the last call.
    std::vector<uint8_t> TakeSkipped();
    void Clear();

private:
    std::deque<uint8_t> FBuffer;
    std::vector<TFrame> FBadFrames;
    std::vector<uint8_t> FSkipped;
    bool FAligned = true;
    int FBadTail = 0;  // bytes of the last bad frame still to drop
    uint64_t FDropped = 0;
};

} // namespace kvt::sim
