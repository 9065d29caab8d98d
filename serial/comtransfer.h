// The read and the write in progress of a port, with the time limits of the driver contract:
// a transfer of N bytes ends with its Nth byte or Multiplier x N + Constant ms after it started;
// a read also ends at a gap of more than ReadInterval ms between bytes. They move data only when
// the port looks at them, so a transfer that nobody waits for ends, at the latest, when it is
// collected.
#pragma once

#include "serial/combackend.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace kvt::serial {

using TClock = std::chrono::steady_clock;

// Multiplier x Count + Constant ms, the values read as the unsigned 32-bit numbers of the driver
// contract; none when both are 0.
std::optional<std::chrono::milliseconds> TotalLimit(int32_t Multiplier, int32_t Constant, int32_t Count);

// What a transfer came to once collected.
struct TTransferResult {
    int32_t Count = 0; // as requested
    int32_t Moved = 0;
    int Error = 0; // errno that ended it early
    const void* Buffer = nullptr;
};

class TReadTransfer {
public:
    void Start(void* Buffer, int32_t Count, std::optional<std::chrono::milliseconds> Total,
        std::chrono::milliseconds Interval, bool DiscardNulls, TClock::time_point Now);
    // Takes what the device holds, then applies the limits. Never blocks. True when bytes were taken.
    bool Progress(TComBackend& Backend, TClock::time_point Now);
    // Started and not yet collected, whether or not it has ended.
    bool Started() const { return FStarted; }
    bool Running() const { return FStarted && !FEnded; }
    // When a limit ends it if no byte comes; nullopt: only bytes can end it.
    std::optional<TClock::time_point> WakeAt() const;
    void End(int Error);
    TTransferResult Collect();
    // Forgets it without a result (purge, close); its buffer is never touched again.
    void Abandon() { *this = TReadTransfer(); }

private:
    bool FStarted = false;
    bool FEnded = false;
    int FError = 0;
    uint8_t* FBuffer = nullptr;
    int32_t FCount = 0;
    int32_t FDone = 0;
    std::optional<TClock::time_point> FDeadline;
    std::chrono::milliseconds FInterval{0};
    TClock::time_point FLastByte;
    bool FDiscardNulls = false;
};

class TWriteTransfer {
public:
    void Start(const void* Buffer, int32_t Count, std::optional<std::chrono::milliseconds> Total,
        TClock::time_point Now);
    // Hands what fits to the driver, watches the output queue, applies the limit. Never blocks.
    void Progress(TComBackend& Backend, TClock::time_point Now);
    bool Started() const { return FStarted; }
    bool Running() const { return FStarted && !FEnded; }
    // Bytes that the driver has not taken yet.
    bool HasUnsent() const { return Running() && FDone < FCount; }
    // The limit, or the next look at the output queue while it drains.
    std::optional<TClock::time_point> WakeAt(const TComBackend& Backend, TClock::time_point Now) const;
    void End(int Error);
    TTransferResult Collect();
    void Abandon() { *this = TWriteTransfer(); }

private:
    bool FStarted = false;
    bool FEnded = false;
    int FError = 0;
    const uint8_t* FBuffer = nullptr;
    int32_t FCount = 0;
    int32_t FDone = 0;   // handed to the driver
    int FQueued = 0;     // of those, still in the output queue
    std::optional<TClock::time_point> FDeadline;
};

} // namespace kvt::serial

// The transfers of one port.
struct TComTransfers {
    kvt::serial::TReadTransfer Read;
    kvt::serial::TWriteTransfer Write;
};
