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

// How an overlapped read of the backend ended. Windows ends a read at its time limit with
// success and the bytes that came; some drivers (wine's on a pseudo-terminal) end one that got
// nothing with ERROR_TIMEOUT or ERROR_SEM_TIMEOUT instead.
enum class TReadEnd { Data, TimedOut, Aborted, DeviceGone, Failed };
TReadEnd ClassifyReadEnd(bool Succeeded, DWORD Error, DWORD Bytes);

// How WaitCommEvent (or its overlapped result) ended, Woken telling whether the backend itself
// ended it. A driver that cannot wait for line events fails at once: with ERROR_OPERATION_ABORTED
// although nobody cancelled (wine on a pseudo-terminal), or with ERROR_NOT_SUPPORTED,
// ERROR_INVALID_FUNCTION or ERROR_INVALID_PARAMETER; the waiter then watches the line itself.
enum class TWaitEnd { Events, Woken, Unsupported, DeviceGone, Failed };
TWaitEnd ClassifyWaitEnd(bool Succeeded, DWORD Error, bool Woken);

// Modem and handshake lines that a driver cannot drive or read (ERROR_NOT_SUPPORTED,
// ERROR_INVALID_FUNCTION: a pseudo-terminal under wine, some virtual ports) are absent lines
// rather than failures, as on Linux.
bool IsLineNotSupported(DWORD Error);

// Line time of one character with the control block's settings.
std::chrono::nanoseconds CharTime(const DCB& Dcb);

DWORD PriorityClassOf(TPriorityClass Priority);
int ThreadPriorityOf(TThreadPriority Priority);

} // namespace kvt::serial::win32
