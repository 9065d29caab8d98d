// The serial port on Windows: the device opened for overlapped I/O ("\\.\COM3"), the line through
// the DCB, queue sizes through SetupComm, the time limits through the comm timeouts, line errors
// from ClearCommError, DTR and RTS also through EscapeCommFunction, line events through
// WaitCommEvent. The port ends every transfer at its own limit; the backend's reads are one-byte
// waits with a limit and reads of what is queued, so a byte is handed on as soon as it came.
#include "serial/combackend.h"
#include "serial/win32_comm.h"

#include "platform/utf8.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>

namespace {

using namespace std::chrono;
using namespace kvt::serial::win32;

DWORD LastError()
{
    const DWORD e = GetLastError();
    return e != 0 ? e : ERROR_GEN_FAILURE;
}

// An event object, closed with its owner.
class TEvent {
public:
    TEvent(bool ManualReset, bool Signalled) : FHandle(CreateEventW(nullptr, ManualReset, Signalled, nullptr)) {}
    ~TEvent()
    {
        if (FHandle != nullptr)
            CloseHandle(FHandle);
    }
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;
    HANDLE Get() const { return FHandle; }

private:
    HANDLE FHandle;
};

// One overlapped operation's record: what the driver writes into until the operation has ended.
struct TIoRecord {
    OVERLAPPED Overlapped{};
    std::vector<uint8_t> Buffer;
    TEvent Event{true, true}; // manual reset; signalled while nothing is pending
    bool Pending = false;

    bool Valid() const { return Event.Get() != nullptr; }
    OVERLAPPED* Start()
    {
        Overlapped = {};
        Overlapped.hEvent = Event.Get();
        ResetEvent(Event.Get());
        return &Overlapped;
    }
};

// A record whose cancelled operation the driver did not end in time stays for the life of the
// process: the driver may still write into it. Its owner goes on with a fresh one.
void GiveUp(std::unique_ptr<TIoRecord>& Io)
{
    static std::mutex Lock;
    static auto* Kept = new std::vector<std::unique_ptr<TIoRecord>>();
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Kept->push_back(std::move(Io));
    }
    Io = std::make_unique<TIoRecord>();
}

// Cancels Io's operation if one is pending and waits a bounded time for its end; a driver that
// does not end it keeps the record (GiveUp). True when the operation ended.
bool EndPending(HANDLE Handle, std::unique_ptr<TIoRecord>& Io)
{
    if (!Io->Pending)
        return true;
    if (EndCancelledIo(Handle, Io->Overlapped, CancelLimitMs)) {
        Io->Pending = false;
        return true;
    }
    GiveUp(Io);
    return false;
}

// The open device, shared by the port and its event waiter. The lock keeps the handle from being
// closed while the event thread issues a call on it; nobody blocks while holding it.
struct TDevice {
    explicit TDevice(HANDLE H) : Handle(H) {}
    std::mutex Lock;
    HANDLE Handle; // INVALID_HANDLE_VALUE once closed
    // Latched by whoever meets a gone device first: a transfer, the line-error check or the waiter.
    std::atomic<bool> HungUp{false};
    std::atomic<bool> HangUpReported{false};
    // ClearCommError clears what it reads; errors read for another reason wait here for the check.
    std::atomic<DWORD> PendingErrors{0};

    // Whether a call's failure means that the device has gone; a code that may mean it is
    // checked with a second call. A gone device latches HungUp.
    bool Gone(DWORD Error)
    {
        bool IsGone = IsDeviceGone(Error);
        if (!IsGone && MayBeDeviceGone(Error)) {
            DWORD Errors = 0;
            COMSTAT Status{};
            if (ClearCommError(Handle, &Errors, &Status)) {
                if (Errors != 0)
                    PendingErrors.fetch_or(Errors);
            } else {
                const DWORD e = LastError();
                IsGone = IsDeviceGone(e) || MayBeDeviceGone(e);
            }
        }
        if (IsGone)
            HungUp = true;
        return IsGone;
    }

    // ClearCommError keeping the errors; Errors receives those read now. 0 or the failure (a gone
    // device also latches HungUp).
    DWORD ReadStatus(COMSTAT& Status, DWORD* ErrorsNow = nullptr)
    {
        DWORD Errors = 0;
        Status = {};
        if (ErrorsNow != nullptr)
            *ErrorsNow = 0;
        if (!ClearCommError(Handle, &Errors, &Status)) {
            const DWORD e = LastError();
            Gone(e);
            return e;
        }
        if (Errors != 0)
            PendingErrors.fetch_or(Errors);
        if (ErrorsNow != nullptr)
            *ErrorsNow = Errors;
        return 0;
    }
};

// Where the driver cannot wait for line events, the line is looked at this often.
constexpr DWORD SampleMs = 200;

class TWin32EventWaiter final : public TEventWaiter {
public:
    TWin32EventWaiter(std::shared_ptr<TDevice> Device, int32_t InputSize)
        : FDevice(std::move(Device)), FInputSize(InputSize)
    {
    }
    ~TWin32EventWaiter() override
    {
        if (HANDLE Thread = FThread.exchange(nullptr))
            CloseHandle(Thread);
    }

    bool Valid() const { return FWake.Get() != nullptr && FWaitIo->Valid(); }

    int Wait(uint32_t Mask, uint32_t& Events) override;
    void Wake() noexcept override { SetEvent(FWake.Get()); }

    void BindCurrentThread() noexcept override
    {
        HANDLE Thread = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &Thread, 0, FALSE,
                DUPLICATE_SAME_ACCESS))
            if (HANDLE Old = FThread.exchange(Thread))
                CloseHandle(Old);
        ApplyPriority();
    }

    void SetPriority(TThreadPriority Priority) noexcept override
    {
        FPriority = Priority;
        ApplyPriority();
    }

    // The driver tells of these itself; they matter only while the line is sampled.
    void NoteWrite() noexcept override { FTxPending = true; }
    void NoteRead() noexcept override { FRxDisarmed = false; }
    void SetInputSize(int32_t Bytes) noexcept override { FInputSize = Bytes; }

private:
    void ApplyPriority() noexcept
    {
        if (HANDLE Thread = FThread.load())
            SetThreadPriority(Thread, ThreadPriorityOf(FPriority.load()));
    }

    // Nothing more to watch (closed, or gone): only a wake ends the wait.
    int Idle(uint32_t& Events)
    {
        Events = 0;
        WaitForSingleObject(FWake.Get(), INFINITE);
        return 0;
    }

    int WaitForCommEvent(uint32_t Mask, uint32_t& Events, bool& Woken);
    int Sample(uint32_t Mask, uint32_t& Events, bool& Woken);

    std::shared_ptr<TDevice> FDevice;
    TEvent FWake{false, false};
    std::unique_ptr<TIoRecord> FWaitIo = std::make_unique<TIoRecord>();
    std::atomic<HANDLE> FThread{nullptr};
    std::atomic<TThreadPriority> FPriority{tpNormal};
    std::atomic<int32_t> FInputSize;
    std::atomic<bool> FTxPending{false};
    std::atomic<bool> FRxDisarmed{false};
    // Event thread only:
    DWORD FReceived = 0;
    std::optional<DWORD> FMaskSet;
    TWaitRestarts FRestarts;
    bool FSampling = false;
    bool FWatching = true;
    bool FRxAbove80 = false;
};

int TWin32EventWaiter::Wait(uint32_t Mask, uint32_t& Events)
{
    Events = 0;
    for (;;) {
        if (!FWatching)
            return Idle(Events);
        bool Woken = false;
        const int e = FSampling ? Sample(Mask, Events, Woken) : WaitForCommEvent(Mask, Events, Woken);
        if (e != 0 || Events != 0 || Woken)
            return e;
    }
}

// One WaitCommEvent. Returns with Events set, with nothing when woken, or with the failure.
int TWin32EventWaiter::WaitForCommEvent(uint32_t Mask, uint32_t& Events, bool& Woken)
{
    BOOL Ok;
    DWORD Error = 0;
    HANDLE Handle;
    bool AtOnce = true;
    {
        std::lock_guard<std::mutex> Guard(FDevice->Lock);
        Handle = FDevice->Handle;
        if (Handle == INVALID_HANDLE_VALUE) {
            FWatching = false;
            return 0;
        }
        if (!FMaskSet || *FMaskSet != Mask) {
            if (!SetCommMask(Handle, Mask)) {
                Error = LastError();
                switch (ClassifyWaitEnd(false, Error, false)) {
                case TWaitEnd::Unsupported:
                    FSampling = true;
                    return 0;
                case TWaitEnd::DeviceGone:
                    FDevice->HungUp = true;
                    FWatching = false;
                    Events = Mask & EvErr;
                    return 0;
                case TWaitEnd::MaybeGone:
                    if (FDevice->Gone(Error)) {
                        FWatching = false;
                        Events = Mask & EvErr;
                        return 0;
                    }
                    return static_cast<int>(Error);
                default:
                    return static_cast<int>(Error);
                }
            }
            FMaskSet = Mask;
        }
        FReceived = 0;
        Ok = WaitCommEvent(Handle, &FReceived, FWaitIo->Start());
        Error = Ok ? 0 : GetLastError();
    }
    if (!Ok && Error == ERROR_IO_PENDING) {
        const auto Started = steady_clock::now();
        const HANDLE Waits[2] = {FWaitIo->Event.Get(), FWake.Get()};
        const DWORD w = WaitForMultipleObjects(2, Waits, FALSE, INFINITE);
        if (w == WAIT_OBJECT_0 + 1) {
            Woken = true;
            // The pending wait ends (a new mask ends it; a close cancels it) before its record is
            // used again; a driver that does not end it keeps the record, and the line goes
            // unwatched rather than the thread hanging.
            {
                std::lock_guard<std::mutex> Guard(FDevice->Lock);
                if (FDevice->Handle != INVALID_HANDLE_VALUE && FMaskSet)
                    SetCommMask(FDevice->Handle, *FMaskSet);
            }
            if (WaitForSingleObject(FWaitIo->Event.Get(), 100) != WAIT_OBJECT_0) {
                {
                    std::lock_guard<std::mutex> Guard(FDevice->Lock);
                    if (FDevice->Handle != INVALID_HANDLE_VALUE)
                        CancelIoEx(FDevice->Handle, &FWaitIo->Overlapped);
                }
                if (WaitForSingleObject(FWaitIo->Event.Get(), CancelLimitMs) != WAIT_OBJECT_0) {
                    GiveUp(FWaitIo);
                    FWatching = false;
                    return 0;
                }
            }
        }
        // The record holds the outcome; the handle is not used again (it may be closed by now).
        DWORD Bytes = 0;
        Ok = GetOverlappedResult(Handle, &FWaitIo->Overlapped, &Bytes, FALSE);
        Error = Ok ? 0 : GetLastError();
        AtOnce = steady_clock::now() - Started < milliseconds(20);
    }
    switch (ClassifyWaitEnd(Ok != FALSE, Error, Woken)) {
    case TWaitEnd::Events:
        FRestarts.Succeeded();
        Events = FReceived & Mask;
        return 0;
    case TWaitEnd::Woken:
        FRestarts.Succeeded();
        return 0;
    case TWaitEnd::Unsupported:
        FSampling = true;
        return 0;
    case TWaitEnd::MaybeGone: {
        bool IsGone;
        {
            std::lock_guard<std::mutex> Guard(FDevice->Lock);
            if (FDevice->Handle == INVALID_HANDLE_VALUE) {
                FWatching = false;
                return 0;
            }
            IsGone = FDevice->Gone(Error);
        }
        if (!IsGone) {
            if (!FRestarts.Again(AtOnce))
                FSampling = true;
            return 0;
        }
        FWatching = false;
        Events = Mask & EvErr;
        return 0;
    }
    case TWaitEnd::DeviceGone:
        FDevice->HungUp = true;
        FWatching = false;
        Events = Mask & EvErr;
        return 0;
    case TWaitEnd::Aborted:
        if (!FRestarts.Again(AtOnce))
            FSampling = true;
        return 0;
    case TWaitEnd::Failed:
        break;
    }
    return static_cast<int>(Error);
}

// The line looked at every SampleMs where the driver cannot wait for events: line errors and a
// gone device, input present, the input queue at 80 %, the output queue run empty.
int TWin32EventWaiter::Sample(uint32_t Mask, uint32_t& Events, bool& Woken)
{
    if (WaitForSingleObject(FWake.Get(), SampleMs) == WAIT_OBJECT_0) {
        Woken = true;
        return 0;
    }
    COMSTAT Status{};
    uint32_t Seen = 0;
    {
        std::lock_guard<std::mutex> Guard(FDevice->Lock);
        if (FDevice->Handle == INVALID_HANDLE_VALUE) {
            FWatching = false;
            return 0;
        }
        DWORD Errors = 0;
        if (const DWORD e = FDevice->ReadStatus(Status, &Errors)) {
            if (!FDevice->HungUp)
                return static_cast<int>(e);
            FWatching = false;
            Events = Mask & EvErr;
            return 0;
        }
        if (Errors != 0)
            Seen |= EvErr;
        if (Errors & CE_BREAK)
            Seen |= EvBreak;
    }
    if (Status.cbInQue > 0 && !FRxDisarmed.exchange(true))
        Seen |= EvRxChar;
    const int64_t Size = FInputSize.load();
    const bool Above = Size > 0 && int64_t{Status.cbInQue} * 5 >= Size * 4;
    if (Above && !FRxAbove80)
        Seen |= EvRx80Full;
    FRxAbove80 = Above;
    if (FTxPending.load() && Status.cbOutQue == 0) {
        FTxPending = false;
        Seen |= EvTxEmpty;
    }
    Events = Seen & Mask;
    return 0;
}

class TWin32Backend final : public TComBackend {
public:
    ~TWin32Backend() override
    {
        Close();
        RestoreProcessPriority();
    }

    int Open(const std::string& DeviceName) override;
    void Close() noexcept override;
    bool IsOpen() const noexcept override
    {
        std::lock_guard<std::mutex> Guard(FLock);
        return FDevice != nullptr;
    }

    int Purge(bool Input, bool Output) override;
    int SetBufferSizes(int32_t Input, int32_t Output) override
    {
        // The queue sizes are a wish that some drivers (virtual ports, some USB adapters) refuse;
        // the port works with the driver's own, so a refusal never stops an open.
        if (!SetupComm(Handle(), static_cast<DWORD>(Input), static_cast<DWORD>(Output)))
            FDevice->Gone(LastError());
        return 0;
    }
    int ApplyLineSettings(const TLineConfig& Config) override;
    int ApplyTimeouts(const TTimeoutConfig& Config) override;
    int GetModemStatus(TModemStatus& Status) override;
    int ReadSome(void* Buffer, size_t Length, size_t& Moved) override;
    int WriteSome(const void* Buffer, size_t Length, size_t& Moved) override;
    int OutputQueue(int& Bytes) override;
    int WaitIo(bool In, bool Out, nanoseconds Timeout, unsigned& Ready) override;
    nanoseconds CharTime() const override { return FCharTime; }
    bool HungUp() const noexcept override
    {
        std::lock_guard<std::mutex> Guard(FLock);
        return FDevice != nullptr && FDevice->HungUp.load();
    }
    int TakeLineErrors(const TOptions& Options, TLineErrors& Errors) override;
    int CreateEventWaiter(int32_t InputSize, std::unique_ptr<TEventWaiter>& Waiter) override;

    void SetProcessPriority(TPriorityClass Priority) noexcept override
    {
        const HANDLE Process = GetCurrentProcess();
        if (!FSavedPriorityClass)
            if (const DWORD Current = GetPriorityClass(Process))
                FSavedPriorityClass = Current;
        SetPriorityClass(Process, PriorityClassOf(Priority));
    }
    void RestoreProcessPriority() noexcept override
    {
        if (FSavedPriorityClass) {
            SetPriorityClass(GetCurrentProcess(), *FSavedPriorityClass);
            FSavedPriorityClass.reset();
        }
    }

private:
    // Transfers and settings run on the user-interface thread, which alone opens and closes; the
    // lock guards the device reference against an unsynchronised event thread's line-error check.
    HANDLE Handle() const { return FDevice->Handle; }
    // A failed call: its code, latching a gone device.
    int Fail()
    {
        const DWORD e = LastError();
        FDevice->Gone(e);
        return static_cast<int>(e);
    }
    int SetTimeouts(const COMMTIMEOUTS& T);
    int StartRead(DWORD Length, const COMMTIMEOUTS& T);
    void CollectRead();
    void CollectWrite();
    void EndRead(bool Succeeded, DWORD Error, DWORD Bytes);
    size_t TakeReceived(uint8_t* Buffer, size_t Length);

    mutable std::mutex FLock;
    std::shared_ptr<TDevice> FDevice;
    std::unique_ptr<TIoRecord> FRead, FWrite;
    // Bytes taken from the device that the port has not had yet.
    std::vector<uint8_t> FReceived;
    size_t FReceivedAt = 0;
    DWORD FReadError = 0;
    DWORD FWriteError = 0;
    // Bytes of the last write that the driver gave up on at its limit.
    DWORD FUnsent = 0;
    COMMTIMEOUTS FTimeouts{};
    std::optional<COMMTIMEOUTS> FTimeoutsSet;
    nanoseconds FCharTime = milliseconds(1);
    std::optional<DWORD> FSavedPriorityClass;
};

int TWin32Backend::Open(const std::string& DeviceName)
{
    Close();
    auto Read = std::make_unique<TIoRecord>();
    auto Write = std::make_unique<TIoRecord>();
    if (!Read->Valid() || !Write->Valid())
        return static_cast<int>(LastError());
    // No sharing: a port that another program holds fails here with ERROR_ACCESS_DENIED.
    const std::optional<std::wstring> Name = kvt::platform::WideFromUtf8(DeviceName);
    if (!Name)
        return ERROR_INVALID_NAME;
    const HANDLE H = CreateFileW(Name->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return static_cast<int>(LastError());
    {
        std::lock_guard<std::mutex> Guard(FLock);
        FDevice = std::make_shared<TDevice>(H);
    }
    FRead = std::move(Read);
    FWrite = std::move(Write);
    FReceived.clear();
    FReceivedAt = 0;
    FReadError = FWriteError = FUnsent = 0;
    FTimeouts = {};
    FTimeoutsSet.reset();
    return 0;
}

void TWin32Backend::Close() noexcept
{
    if (!FDevice)
        return;
    // An event wait ends with the empty mask; the port's own transfers end before their records
    // go, or, where the driver does not end them in time, their records stay with the driver:
    // the handle is closed either way, and the window does not hang on a driver.
    SetCommMask(Handle(), 0);
    EndPending(Handle(), FRead);
    EndPending(Handle(), FWrite);
    {
        std::lock_guard<std::mutex> Guard(FDevice->Lock);
        CloseHandle(FDevice->Handle);
        FDevice->Handle = INVALID_HANDLE_VALUE;
    }
    FWrite.reset();
    FRead.reset();
    std::lock_guard<std::mutex> Guard(FLock);
    FDevice.reset();
    FReceived.clear();
    FReceivedAt = 0;
}

int TWin32Backend::Purge(bool Input, bool Output)
{
    const DWORD Flags = (Input ? PURGE_RXABORT | PURGE_RXCLEAR : 0) | (Output ? PURGE_TXABORT | PURGE_TXCLEAR : 0);
    if (Flags == 0)
        return 0;
    if (!PurgeComm(Handle(), Flags))
        return Fail();
    // A driver that does not abort the transfers on a purge has them cancelled; one that does
    // not end a cancelled transfer in time is no longer usable: it counts as gone.
    if (Input) {
        if (!EndPending(Handle(), FRead))
            FDevice->HungUp = true;
        FReceived.clear();
        FReceivedAt = 0;
        FReadError = 0;
    }
    if (Output) {
        if (!EndPending(Handle(), FWrite))
            FDevice->HungUp = true;
        FWriteError = 0;
        FUnsent = 0;
    }
    return 0;
}

int TWin32Backend::ApplyLineSettings(const TLineConfig& Config)
{
    DCB Dcb{};
    Dcb.DCBlength = sizeof Dcb;
    if (!GetCommState(Handle(), &Dcb))
        return Fail();
    if (const DWORD e = MapDcb(Config, Dcb))
        return static_cast<int>(e);
    if (!SetCommState(Handle(), &Dcb))
        return Fail();
    // The levels once more as functions of their own, for drivers that take the control block's
    // DTR and RTS as a mode only. A driver without modem lines (wine on a pseudo-terminal) has
    // nothing to set.
    for (const DWORD Function : LineLevelFunctions(Config))
        if (!EscapeCommFunction(Handle(), Function)) {
            const DWORD e = LastError();
            if (!IsLineNotSupported(e))
                return static_cast<int>(e);
        }
    FCharTime = kvt::serial::win32::CharTime(Dcb);
    return 0;
}

int TWin32Backend::SetTimeouts(const COMMTIMEOUTS& T)
{
    if (FTimeoutsSet && std::memcmp(&*FTimeoutsSet, &T, sizeof T) == 0)
        return 0;
    if (!SetCommTimeouts(Handle(), const_cast<COMMTIMEOUTS*>(&T)))
        return Fail();
    FTimeoutsSet = T;
    return 0;
}

int TWin32Backend::ApplyTimeouts(const TTimeoutConfig& Config)
{
    COMMTIMEOUTS Current{};
    if (!GetCommTimeouts(Handle(), &Current))
        return Fail();
    FTimeouts = CommTimeoutsFrom(Config);
    FTimeoutsSet.reset();
    return SetTimeouts(FTimeouts);
}

int TWin32Backend::GetModemStatus(TModemStatus& Status)
{
    Status = {};
    DWORD Lines = 0;
    if (!GetCommModemStatus(Handle(), &Lines)) {
        const DWORD e = LastError();
        return IsLineNotSupported(e) ? 0 : static_cast<int>(e);
    }
    Status = ModemStatusFrom(Lines);
    return 0;
}

// Starts a read of Length bytes into the read record's buffer; it ends in the driver and is
// collected by CollectRead.
int TWin32Backend::StartRead(DWORD Length, const COMMTIMEOUTS& T)
{
    if (const int e = SetTimeouts(T))
        return e;
    FRead->Buffer.resize(Length);
    if (!ReadFile(Handle(), FRead->Buffer.data(), Length, nullptr, FRead->Start())) {
        const DWORD e = GetLastError();
        if (e != ERROR_IO_PENDING) {
            SetEvent(FRead->Event.Get());
            EndRead(false, e, 0);
            return 0;
        }
    }
    FRead->Pending = true;
    return 0;
}

void TWin32Backend::EndRead(bool Succeeded, DWORD Error, DWORD Bytes)
{
    switch (ClassifyReadEnd(Succeeded, Error, Bytes)) {
    case TReadEnd::Data:
        if (FReceivedAt == FReceived.size()) {
            FReceived.clear();
            FReceivedAt = 0;
        }
        FReceived.insert(FReceived.end(), FRead->Buffer.begin(),
            FRead->Buffer.begin() + std::min<size_t>(Bytes, FRead->Buffer.size()));
        break;
    case TReadEnd::TimedOut:
    case TReadEnd::Aborted:
        break;
    case TReadEnd::DeviceGone:
        FDevice->HungUp = true;
        FReadError = Error;
        break;
    case TReadEnd::MaybeGone:
        FDevice->Gone(Error);
        FReadError = Error;
        break;
    case TReadEnd::Failed:
        FReadError = Error;
        break;
    }
}

void TWin32Backend::CollectRead()
{
    if (!FRead->Pending)
        return;
    DWORD Bytes = 0;
    const BOOL Ok = GetOverlappedResult(Handle(), &FRead->Overlapped, &Bytes, FALSE);
    const DWORD Error = Ok ? 0 : GetLastError();
    if (!Ok && Error == ERROR_IO_INCOMPLETE)
        return;
    FRead->Pending = false;
    EndRead(Ok != FALSE, Error, Bytes);
}

size_t TWin32Backend::TakeReceived(uint8_t* Buffer, size_t Length)
{
    const size_t n = std::min(Length, FReceived.size() - FReceivedAt);
    if (n > 0)
        std::memcpy(Buffer, FReceived.data() + FReceivedAt, n);
    FReceivedAt += n;
    return n;
}

int TWin32Backend::ReadSome(void* Buffer, size_t Length, size_t& Moved)
{
    auto* Bytes = static_cast<uint8_t*>(Buffer);
    CollectRead();
    Moved = TakeReceived(Bytes, Length);
    if (Moved < Length && !FRead->Pending && FReadError == 0) {
        COMSTAT Status{};
        if (const DWORD e = FDevice->ReadStatus(Status))
            return Moved > 0 ? 0 : static_cast<int>(e);
        if (Status.cbInQue > 0) {
            const DWORD Want = static_cast<DWORD>(std::min<size_t>(Length - Moved, Status.cbInQue));
            if (const int e = StartRead(Want, WithQueuedRead(FTimeouts)))
                return e;
            // Queued bytes come at once; a driver that is slower leaves the read to be collected later.
            if (FRead->Pending && WaitForSingleObject(FRead->Event.Get(), 50) == WAIT_OBJECT_0)
                CollectRead();
            Moved += TakeReceived(Bytes + Moved, Length - Moved);
        }
    }
    if (Moved == 0 && FReadError != 0) {
        const DWORD e = FReadError;
        FReadError = 0;
        return static_cast<int>(e);
    }
    return 0;
}

int TWin32Backend::WriteSome(const void* Buffer, size_t Length, size_t& Moved)
{
    Moved = 0;
    CollectWrite();
    if (FWrite->Pending)
        return 0;
    if (FWriteError != 0) {
        const DWORD e = FWriteError;
        FWriteError = 0;
        return static_cast<int>(e);
    }
    if (Length == 0)
        return 0;
    const DWORD Count = static_cast<DWORD>(std::min<size_t>(Length, 1u << 30));
    auto* Bytes = static_cast<const uint8_t*>(Buffer);
    FWrite->Buffer.assign(Bytes, Bytes + Count);
    FUnsent = 0;
    if (!WriteFile(Handle(), FWrite->Buffer.data(), Count, nullptr, FWrite->Start())) {
        if (GetLastError() != ERROR_IO_PENDING) {
            const int e = Fail();
            SetEvent(FWrite->Event.Get());
            return e;
        }
    }
    FWrite->Pending = true;
    Moved = Count;
    return 0;
}

void TWin32Backend::CollectWrite()
{
    if (!FWrite->Pending)
        return;
    DWORD Bytes = 0;
    const BOOL Ok = GetOverlappedResult(Handle(), &FWrite->Overlapped, &Bytes, FALSE);
    const DWORD Error = Ok ? 0 : GetLastError();
    if (!Ok && Error == ERROR_IO_INCOMPLETE)
        return;
    FWrite->Pending = false;
    const DWORD Count = static_cast<DWORD>(FWrite->Buffer.size());
    FUnsent = Bytes < Count ? Count - Bytes : 0;
    if (Ok || Error == ERROR_TIMEOUT || Error == ERROR_SEM_TIMEOUT || Error == ERROR_OPERATION_ABORTED)
        return; // the driver's limit (what is unsent stays counted) or a purge
    FDevice->Gone(Error);
    FWriteError = Error;
}

int TWin32Backend::OutputQueue(int& Bytes)
{
    Bytes = 0;
    CollectWrite();
    if (FWriteError != 0) {
        const DWORD e = FWriteError;
        FWriteError = 0;
        return static_cast<int>(e);
    }
    COMSTAT Status{};
    if (const DWORD e = FDevice->ReadStatus(Status))
        return static_cast<int>(e);
    // Windows counts a running write in the queue; a driver that does not still has it running.
    int64_t Queued = int64_t{Status.cbOutQue} + FUnsent;
    if (FWrite->Pending)
        Queued = std::max<int64_t>(Queued, 1);
    Bytes = static_cast<int>(std::min<int64_t>(Queued, 1 << 30));
    return 0;
}

int TWin32Backend::WaitIo(bool In, bool Out, nanoseconds Timeout, unsigned& Ready)
{
    Ready = 0;
    const auto Start = steady_clock::now();
    for (;;) {
        nanoseconds Left(-1);
        if (Timeout >= nanoseconds::zero())
            Left = std::max(nanoseconds::zero(), Timeout - duration_cast<nanoseconds>(steady_clock::now() - Start));
        if (In) {
            CollectRead();
            if (FReceivedAt < FReceived.size() || FReadError != 0) {
                Ready |= IoIn;
            } else if (!FRead->Pending) {
                COMSTAT Status{};
                if (const DWORD e = FDevice->ReadStatus(Status)) {
                    if (!FDevice->HungUp)
                        return static_cast<int>(e);
                    FReadError = e;
                    Ready |= IoIn;
                } else if (Status.cbInQue > 0) {
                    Ready |= IoIn;
                } else if (Left != nanoseconds::zero()) {
                    // One byte with the wait's limit: it ends as soon as anything comes.
                    if (const int e = StartRead(1, WithReadWait(FTimeouts, WaitMilliseconds(Left))))
                        return e;
                    continue;
                }
            }
        }
        if (Out) {
            CollectWrite();
            if (!FWrite->Pending)
                Ready |= IoOut;
        }
        if (FDevice->HungUp)
            Ready |= IoHangup;
        if (Ready != 0 || Left == nanoseconds::zero())
            return 0;
        const TIoWaitPlan Plan = PlanIoWait(In, FRead->Pending, Out, FWrite->Pending);
        if (Plan.Sleep) {
            // Nothing of this port's can end the wait early: the limit passes here rather than in
            // the caller's loop.
            if (Left > nanoseconds::zero())
                Sleep(WaitMilliseconds(Left));
            return 0;
        }
        HANDLE Waits[2];
        DWORD Count = 0;
        if (Plan.Read)
            Waits[Count++] = FRead->Event.Get();
        if (Plan.Write)
            Waits[Count++] = FWrite->Event.Get();
        const DWORD w = WaitForMultipleObjects(Count, Waits, FALSE, WaitMilliseconds(Left));
        if (w == WAIT_TIMEOUT)
            return 0;
        if (w == WAIT_FAILED)
            return static_cast<int>(LastError());
        if (!In && !Out)
            return 0; // the write has ended: the caller looks at the output queue again
    }
}

int TWin32Backend::TakeLineErrors(const TOptions&, TLineErrors& Errors)
{
    Errors = {};
    std::shared_ptr<TDevice> Device;
    {
        std::lock_guard<std::mutex> Guard(FLock);
        Device = FDevice;
    }
    if (!Device)
        return ERROR_INVALID_HANDLE;
    DWORD Word = 0;
    {
        std::lock_guard<std::mutex> Guard(Device->Lock);
        if (Device->Handle == INVALID_HANDLE_VALUE)
            return ERROR_INVALID_HANDLE;
        COMSTAT Status{};
        if (const DWORD e = Device->ReadStatus(Status))
            if (!Device->HungUp)
                return static_cast<int>(e);
        Word = Device->PendingErrors.exchange(0);
    }
    Errors = LineErrorsFrom(Word);
    // A gone device is one line error per open, whoever reads it first.
    if (Device->HungUp && !Device->HangUpReported.exchange(true))
        Errors.Include(leIO);
    return 0;
}

int TWin32Backend::CreateEventWaiter(int32_t InputSize, std::unique_ptr<TEventWaiter>& Waiter)
{
    if (!FDevice)
        return ERROR_INVALID_HANDLE;
    auto W = std::make_unique<TWin32EventWaiter>(FDevice, InputSize);
    if (!W->Valid())
        return static_cast<int>(LastError());
    Waiter = std::move(W);
    return 0;
}

} // namespace

std::unique_ptr<TComBackend> CreateComBackend()
{
    return std::make_unique<TWin32Backend>();
}
