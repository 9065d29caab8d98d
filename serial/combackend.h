// The platform side of the serial port component. TCustomComPort keeps the behaviour (properties,
// order of steps, events, errors, time limits); a backend only talks to the device. System
// failures come back as the system's codes (0 = success; errno on POSIX, GetLastError on Windows)
// so that the port reports them through OnError.
#pragma once

#include "serial/comtypes.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Line events, by their bits in the event mask. The table in comport_events.cpp gives the order in
// which they are dispatched.
enum : uint32_t {
    EvRxChar = 0x0001,
    EvRxFlag = 0x0002,
    EvTxEmpty = 0x0004,
    EvCTS = 0x0008,
    EvDSR = 0x0010,
    EvRLSD = 0x0020,
    EvBreak = 0x0040,
    EvErr = 0x0080,
    EvRing = 0x0100,
    EvPErr = 0x0200,
    EvRx80Full = 0x0400,
    EvEvent1 = 0x0800,
    EvEvent2 = 0x1000,
};

// Everything the line-settings step needs, taken from the port's properties.
struct TLineConfig {
    TBaudRate BaudRate = brDefault;
    int32_t CustomBaudRate = 0;
    TDataBits DataBits = dbDefault;
    TParity Parity = paDefault;
    TStopBits StopBits = sbDefault;
    TOptions Options;
    TDTRControl DTR = dcDefault;
    TRTSControl RTS = rcDefault;
    TXOnXOffControl XOnXOff = xcDefault;
    uint16_t XOnLimit = 0;
    uint16_t XOffLimit = 0;
    char XOn = 17;
    char XOff = 19;
    char Error = 0;
    char Eof = 0;
    char Event = 0;
};

// The port's time limits as its Timeouts properties hold them.
struct TTimeoutConfig {
    int32_t ReadInterval = 0;
    int32_t ReadMultiplier = 0;
    int32_t ReadConstant = 0;
    int32_t WriteMultiplier = 0;
    int32_t WriteConstant = 0;
};

// What a wait for device readiness saw.
enum : unsigned { IoIn = 1, IoOut = 2, IoHangup = 4 };

// Waits for line events on behalf of the event thread. It shares the device with the port but not
// the port's memory, so it stays valid after the port has closed or gone.
class TEventWaiter {
public:
    virtual ~TEventWaiter() = default;
    // Blocks until one of the events in Mask happens (Events receives them) or Wake is called
    // (Events = 0). Returns 0 or the errno of a failed wait.
    virtual int Wait(uint32_t Mask, uint32_t& Events) = 0;
    // Ends a running or the next Wait; callable from any thread.
    virtual void Wake() noexcept = 0;
    // Called on the event thread before its first Wait.
    virtual void BindCurrentThread() noexcept = 0;
    // Gives the event thread this priority now (or when it binds); callable from any thread.
    virtual void SetPriority(TThreadPriority Priority) noexcept = 0;
    // A write was started: the next time the output queue runs empty is a TxEmpty event.
    virtual void NoteWrite() noexcept = 0;
    // Input was taken from the device: the next character present is an RxChar event again.
    virtual void NoteRead() noexcept = 0;
    // The input queue size that an Rx80PercFull event is measured against.
    virtual void SetInputSize(int32_t Bytes) noexcept = 0;
};

class TComBackend {
public:
    virtual ~TComBackend() = default;

    virtual int Open(const std::string& DeviceName) = 0;
    // Releases the device; the event waiter may keep the descriptor a moment longer.
    virtual void Close() noexcept = 0;
    virtual bool IsOpen() const noexcept = 0;

    virtual int Purge(bool Input, bool Output) = 0;
    virtual int SetBufferSizes(int32_t Input, int32_t Output) = 0;
    virtual int ApplyLineSettings(const TLineConfig& Config) = 0;
    // The port ends every transfer at its own limit; a backend whose driver keeps limits too is
    // given them here.
    virtual int ApplyTimeouts(const TTimeoutConfig& Config) = 0;
    virtual int GetModemStatus(TModemStatus& Status) = 0;

    // Non-blocking transfers: Moved receives what was moved now (0 when the device is not ready).
    virtual int ReadSome(void* Buffer, size_t Length, size_t& Moved) = 0;
    virtual int WriteSome(const void* Buffer, size_t Length, size_t& Moved) = 0;
    // Bytes written but not yet sent on the line (0 where the driver does not tell).
    virtual int OutputQueue(int& Bytes) = 0;
    // Blocks until the device can be read (In), written (Out), has hung up, or Timeout has passed
    // (negative: no limit). Ready receives Io... flags.
    virtual int WaitIo(bool In, bool Out, std::chrono::nanoseconds Timeout, unsigned& Ready) = 0;
    // Line time of one character at the current settings, to pace the wait for the output queue.
    virtual std::chrono::nanoseconds CharTime() const = 0;
    // Whether the device has hung up (a transfer that meets it ends with an error).
    virtual bool HungUp() const noexcept = 0;

    // Reads and clears the errors accumulated since the last call; a hang-up counts once per open.
    virtual int TakeLineErrors(const TOptions& Options, TLineErrors& Errors) = 0;

    virtual int CreateEventWaiter(int32_t InputSize, std::unique_ptr<TEventWaiter>& Waiter) = 0;

    // Scheduling of the calling (user-interface) thread while the port is open.
    virtual void SetProcessPriority(TPriorityClass Priority) noexcept = 0;
    virtual void RestoreProcessPriority() noexcept = 0;
};

std::unique_ptr<TComBackend> CreateComBackend();

// Appends the names of the serial ports present: under /dev on Linux ("ttyUSB0"), from the
// system's device map on Windows ("COM3").
void EnumSerialPorts(std::vector<std::string>& Names);
