#include "serial/comtransfer.h"

#include <algorithm>
#include <cstring>

namespace kvt::serial {

using namespace std::chrono;

std::optional<milliseconds> TotalLimit(int32_t Multiplier, int32_t Constant, int32_t Count)
{
    if (Multiplier == 0 && Constant == 0)
        return std::nullopt;
    const uint64_t Ms = uint64_t{static_cast<uint32_t>(Multiplier)} * static_cast<uint32_t>(std::max(Count, 0))
        + static_cast<uint32_t>(Constant);
    return milliseconds(static_cast<int64_t>(Ms));
}

void TReadTransfer::Start(void* Buffer, int32_t Count, std::optional<milliseconds> Total, milliseconds Interval,
    bool DiscardNulls, TClock::time_point Now)
{
    *this = TReadTransfer();
    FStarted = true;
    FBuffer = static_cast<uint8_t*>(Buffer);
    FCount = Count;
    if (Total)
        FDeadline = Now + *Total;
    FInterval = Interval;
    FDiscardNulls = DiscardNulls;
}

bool TReadTransfer::Progress(TComBackend& Backend, TClock::time_point Now)
{
    if (!Running())
        return false;
    bool Taken = false;
    while (FDone < FCount) {
        size_t Moved = 0;
        int e = Backend.ReadSome(FBuffer + FDone, static_cast<size_t>(FCount - FDone), Moved);
        if (e != 0) {
            End(e);
            return Taken;
        }
        if (Moved == 0)
            break;
        Taken = true;
        uint8_t* First = FBuffer + FDone;
        uint8_t* Last = First + Moved;
        if (FDiscardNulls)
            Last = std::remove(First, Last, uint8_t{0});
        if (Last != First)
            FLastByte = Now;
        FDone += static_cast<int32_t>(Last - First);
    }
    if (FDone == FCount || (FDeadline && Now >= *FDeadline)
        || (FInterval > milliseconds::zero() && FDone > 0 && Now - FLastByte >= FInterval))
        FEnded = true;
    return Taken;
}

std::optional<TClock::time_point> TReadTransfer::WakeAt() const
{
    std::optional<TClock::time_point> At = FDeadline;
    if (FInterval > milliseconds::zero() && FDone > 0) {
        TClock::time_point Gap = FLastByte + FInterval;
        if (!At || Gap < *At)
            At = Gap;
    }
    return At;
}

void TReadTransfer::End(int Error)
{
    if (!Running())
        return;
    FEnded = true;
    FError = Error;
}

TTransferResult TReadTransfer::Collect()
{
    TTransferResult Result{FCount, FDone, FError, FBuffer};
    *this = TReadTransfer();
    return Result;
}

void TWriteTransfer::Start(const void* Buffer, int32_t Count, std::optional<milliseconds> Total,
    TClock::time_point Now)
{
    *this = TWriteTransfer();
    FStarted = true;
    FBuffer = static_cast<const uint8_t*>(Buffer);
    FCount = Count;
    if (Total)
        FDeadline = Now + *Total;
}

void TWriteTransfer::Progress(TComBackend& Backend, TClock::time_point Now)
{
    if (!Running())
        return;
    while (FDone < FCount) {
        size_t Moved = 0;
        int e = Backend.WriteSome(FBuffer + FDone, static_cast<size_t>(FCount - FDone), Moved);
        if (e != 0) {
            End(e);
            return;
        }
        if (Moved == 0)
            break;
        FDone += static_cast<int32_t>(Moved);
    }
    if (FDone == FCount) {
        // A write has ended when its bytes have left the output queue.
        if (int e = Backend.OutputQueue(FQueued)) {
            End(e);
            return;
        }
        if (FQueued <= 0) {
            FQueued = 0;
            FEnded = true;
            return;
        }
    }
    if (FDeadline && Now >= *FDeadline)
        FEnded = true;
}

std::optional<TClock::time_point> TWriteTransfer::WakeAt(const TComBackend& Backend, TClock::time_point Now) const
{
    std::optional<TClock::time_point> At = FDeadline;
    if (Running() && FDone == FCount) {
        // Nothing signals an empty output queue: look again when the queued characters should
        // have gone, in steps of 1 to 50 ms, so a held line is no busy loop.
        auto Drain = std::clamp<nanoseconds>(Backend.CharTime() * std::max(FQueued, 1), milliseconds(1),
            milliseconds(50));
        TClock::time_point Look = Now + Drain;
        if (!At || Look < *At)
            At = Look;
    }
    return At;
}

void TWriteTransfer::End(int Error)
{
    if (!Running())
        return;
    FEnded = true;
    FError = Error;
}

TTransferResult TWriteTransfer::Collect()
{
    TTransferResult Result{FCount, FDone - FQueued, FError, FBuffer};
    *this = TWriteTransfer();
    return Result;
}

} // namespace kvt::serial
