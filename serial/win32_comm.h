// How the port's settings and the system's answers meet on Windows: the pure parts of the Win32
// backend, with no device involved, so that they can be tested on their own.
#pragma once

#include "serial/combackend.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace kvt::serial::win32 {

// Changes Dcb, the driver's current control block, as Config asks: fields whose setting is at its
// ...Default value keep what the driver had; the characters, the XON/XOFF limits, the eight
// option flags and fBinary are always written. Returns 0, or ERROR_INVALID_PARAMETER for a value
// the control block cannot hold.
DWORD MapDcb(const TLineConfig& Config, DCB& Dcb);

// The EscapeCommFunction calls that set DTR and RTS to the levels Config asks for: only where the
// setting is a fixed level (handshake and toggle leave the line to the driver).
std::vector<DWORD> LineLevelFunctions(const TLineConfig& Config);

// The port's five limits as the comm timeouts take them (each read as the unsigned 32-bit number
// of the driver contract).
COMMTIMEOUTS CommTimeoutsFrom(const TTimeoutConfig& Config);

// The read part of Base for a read of one byte that ends at its first byte or after WaitMs
// (INFINITE: no limit); the write part stays.
COMMTIMEOUTS WithReadWait(COMMTIMEOUTS Base, DWORD WaitMs);
// The read part of Base for a read that takes what is queued and never waits.
COMMTIMEOUTS WithQueuedRead(COMMTIMEOUTS Base);

// A wait as the comm timeouts and WaitForMultipleObjects count it: rounded up to whole
// milliseconds, at least 1, below INFINITE; a negative one is INFINITE.
DWORD WaitMilliseconds(std::chrono::nanoseconds Timeout);

// The driver's error word (ClearCommError) as the port's line errors; bits without a member
// are dropped.
TLineErrors LineErrorsFrom(DWORD CommErrors);

// The modem status word (GetCommModemStatus) as the port's set.
TModemStatus ModemStatusFrom(DWORD ModemStatus);

// Codes with which a device that has gone (unplugged, hung up) fails its calls.
bool IsDeviceGone(DWORD Error);
// ERROR_GEN_FAILURE: USB serial drivers give it for an adapter pulled out, but also for a passing
// fault of one call. It means a gone device only when a second call to the device fails as well.
bool MayBeDeviceGone(DWORD Error);

// How an overlapped read of the backend ended. Windows ends a read at its time limit with
// success and the bytes that came; some drivers (wine's on a pseudo-terminal) end one that got
// nothing with ERROR_TIMEOUT or ERROR_SEM_TIMEOUT instead.
enum class TReadEnd { Data, TimedOut, Aborted, DeviceGone, MaybeGone, Failed };
TReadEnd ClassifyReadEnd(bool Succeeded, DWORD Error, DWORD Bytes);

// How WaitCommEvent (or its overlapped result) ended, Woken telling whether the backend itself
// ended it. ERROR_OPERATION_ABORTED that nobody asked for is a cancelled wait (the standard USB
// CDC driver gives it now and then): Aborted, waited again. A driver that cannot wait for line
// events at all fails with ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION or
// ERROR_INVALID_PARAMETER: the waiter then watches the line itself.
enum class TWaitEnd { Events, Woken, Aborted, Unsupported, DeviceGone, MaybeGone, Failed };
TWaitEnd ClassifyWaitEnd(bool Succeeded, DWORD Error, bool Woken);

// Waits that ended without events and without the waiter's asking (Aborted, or MaybeGone with the
// device still there). Each is waited again; only a driver that fails every wait at once, time
// after time (wine on a pseudo-terminal does), is given up for sampling the line.
class TWaitRestarts {
public:
    static constexpr int AtOnceLimit = 5;
    // A wait ended so; AtOnce when it failed without having waited. False: sample from now on.
    bool Again(bool AtOnce)
    {
        FAtOnceInARow = AtOnce ? FAtOnceInARow + 1 : 0;
        return FAtOnceInARow < AtOnceLimit;
    }
    // A wait that brought events, or was ended by the waiter.
    void Succeeded() { FAtOnceInARow = 0; }

private:
    int FAtOnceInARow = 0;
};

// What WaitIo waits on when nothing asked for is ready yet: the pending read when reads are
// asked for, the pending write when writes are; with neither, the pending write still (its end
// empties the output queue that a write's end is waiting for), else only the time limit passes.
struct TIoWaitPlan {
    bool Read = false;
    bool Write = false;
    bool Sleep = false; // nothing to wait on: sleep out the limit
};
TIoWaitPlan PlanIoWait(bool In, bool ReadPending, bool Out, bool WritePending);

// Cancels the I/O of Overlapped on Handle and waits at most LimitMs for the driver to end it
// (Overlapped.hEvent is signalled then). False when the driver did not: the record and its
// buffer must then outlive the I/O, however long that takes.
bool EndCancelledIo(HANDLE Handle, OVERLAPPED& Overlapped, DWORD LimitMs);
// What a close or purge waits for cancelled I/O before it gives the record up.
constexpr DWORD CancelLimitMs = 1000;

// Modem and handshake lines that a driver cannot drive or read (ERROR_NOT_SUPPORTED,
// ERROR_INVALID_FUNCTION: a pseudo-terminal under wine, some virtual ports) are absent lines
// rather than failures, as on Linux.
bool IsLineNotSupported(DWORD Error);

// Line time of one character with the control block's settings.
std::chrono::nanoseconds CharTime(const DCB& Dcb);

DWORD PriorityClassOf(TPriorityClass Priority);
int ThreadPriorityOf(TThreadPriority Priority);

} // namespace kvt::serial::win32
