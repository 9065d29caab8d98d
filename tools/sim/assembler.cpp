#include "tools/sim/assembler.h"

#include "protocol/commands.h"

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
            FAligned = true;
            FBadTail = 0;
            return true;
        }
        if (FAligned && !CommandName(Frame[0]).empty()) {
            FBadFrames.push_back(Frame);
            FBadTail = static_cast<int>(Frame.size());
        }
        FAligned = false;
        if (FBadTail > 0)
            --FBadTail;
        else
            FSkipped.push_back(FBuffer.front());
        FBuffer.pop_front();
        ++FDropped;
    }
    return false;
}

std::vector<TFrame> TFrameAssembler::TakeBadFrames()
{
    std::vector<TFrame> b;
    b.swap(FBadFrames);
    return b;
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
    FBadFrames.clear();
    FSkipped.clear();
    FAligned = true;
    FBadTail = 0;
}

} // namespace kvt::sim
