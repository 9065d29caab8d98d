#include "tools/sim/assembler.h"

#include <algorithm>

namespace kvt::sim {

void TFrameAssembler::Feed(const uint8_t* Data, std::size_t Length)
{
    FBuffer.insert(FBuffer.end(), Data, Data + Length);
}

bool TFrameAssembler::Next(TFrame& Frame)
{
    while (FBuffer.size() >= Frame.size()) {
        std::copy_n(FBuffer.begin(), Frame.size(), Frame.begin());
        if (FrameCrcOk(Frame)) {
            FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<std::ptrdiff_t>(Frame.size()));
            return true;
        }
        FSkipped.push_back(FBuffer.front());
        FBuffer.pop_front();
    }
    return false;
}

std::vector<uint8_t> TFrameAssembler::TakeSkipped()
{
    std::vector<uint8_t> s;
    s.swap(FSkipped);
    return s;
}

void TFrameAssembler::Clear()
{
    FBuffer.clear();
    FSkipped.clear();
}

} // namespace kvt::sim
