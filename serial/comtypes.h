// Types of the serial port component: enumerations, sets, errors and handler types.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

// A small set of enumeration values, stored as bits by ordinal.
template <typename E, typename Storage>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items)
    {
        for (E e : Items)
            FBits = static_cast<Storage>(FBits | Bit(e));
    }
    static constexpr TSet FromBits(Storage Bits)
    {
        TSet s;
        s.FBits = Bits;
        return s;
    }
    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr TSet& Include(E e)
    {
        FBits = static_cast<Storage>(FBits | Bit(e));
        return *this;
    }
    constexpr TSet& Exclude(E e)
    {
        FBits = static_cast<Storage>(FBits & ~Bit(e));
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr Storage Bits() const { return FBits; }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr Storage Bit(E e) { return static_cast<Storage>(Storage{1} << static_cast<unsigned>(e)); }
    Storage FBits = 0;
};

enum TBaudRate {
    brDefault, br50, br75, br110, br150, br300, br600, br1200, br1800, br2000, br2400, br3600,
    br4800, br7200, br9600, br10400, br14400, br15625, br19200, br28800, br38400, br56000,
    br57600, br115200, br128000, br256000, brCustom
};
enum TDataBits { dbDefault, db4, db5, db6, db7, db8 };
enum TParity { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sbDefault, sb1, sb1_5, sb2 };
enum TOption {
    opCheckParity, opOutputCTSFlow, opOutputDSRFlow, opDSRSensitivity, opTXContinueOnXOff,
    opUseErrorChar, opDiscardNullBytes, opAbortOnError
};
using TOptions = TSet<TOption, uint8_t>;
enum TDTRControl { dcDefault, dcDisable, dcEnable, dcHandshake };
enum TRTSControl { rcDefault, rcDisable, rcEnable, rcHandshake, rcToggle };
enum TXOnXOffControl { xcDefault, xcDisable, xcInput, xcOutput, xcInputOutput };
enum TPriorityClass { pcDefault, pcIdle, pcNormal, pcHigh, pcRealTime };
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
enum TModemStatusValue { msCTS, msDSR, msRing, msRLSD };
using TModemStatus = TSet<TModemStatusValue, uint8_t>;
enum TComAction { caRaise = 0, caAbort = 1 };
enum TLineError {
    leBreak, leDeviceNotSelected, leFrame, leIO, leMode, leOutOfPaper, leOverrun, leTimeout,
    leRxOverflow, leRxParity, leTxFull
};
using TLineErrors = TSet<TLineError, uint16_t>;

// The rate in bit/s of a TBaudRate value; 0 for brDefault and brCustom.
int32_t BaudRateValue(TBaudRate Rate);

// Every failure of the serial layer. ErrorCode is the system's errno for a failed system call
// and 0 for the component's own errors.
class EComError : public std::runtime_error {
public:
    EComError(const std::string& Message, int32_t ErrorCode)
        : std::runtime_error(Message), FErrorCode(ErrorCode)
    {
    }
    int32_t ErrorCode() const noexcept { return FErrorCode; }

private:
    int32_t FErrorCode;
};

// A transfer that ended at its time limit with fewer bytes than it asked for ("Timeout", code 0).
class EComTimeout : public EComError {
public:
    EComTimeout() : EComError("Timeout", 0) {}
};

// The silent abort: it ends an operation like any error, but is never shown to the user.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

class TCustomComPort;

using TNotifyEvent = std::function<void(TCustomComPort* Sender)>;
using TOpenCloseEvent = std::function<void(TCustomComPort* ComPort)>;
using TReadWriteEvent =
    std::function<void(TCustomComPort* Sender, const void* Buffer, int32_t Length, bool WaitOnCompletion)>;
using TComErrorEvent = std::function<void(TCustomComPort* ComPort, const EComError& E, TComAction& Action)>;
using TLineErrorEvent = std::function<void(TCustomComPort* Sender, TLineErrors LineErrors)>;

// Runs Call on the user-interface thread and returns when it has run there; an exception that
// Call raises is raised again in the caller. The program installs one that posts to its event loop;
// tests install their own. Without one, Call runs on the calling thread.
using TSynchronizer = std::function<void(const std::function<void()>& Call)>;

// The application's exception display: shows an error's text to the user (EAbort is never passed).
using TExceptionDisplay = std::function<void(const std::exception& E)>;
