// The serial port on Linux: termios for the line, ioctls for modem lines, queues and error counters,
// poll for readiness. How each setting of the component maps here is stated where it is applied.
#include "serial/combackend.h"
#include "platform/std_streams.h"
#include "serial/termios2_linux.h"
#include "serial/termios_map.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono;

int LastError()
{
    return errno != 0 ? errno : EIO;
}

int Ioctl(int Fd, unsigned long Request, void* Arg)
{
    for (;;) {
        if (::ioctl(Fd, Request, Arg) == 0)
            return 0;
        if (errno != EINTR)
            return LastError();
    }
}

// A pseudo-terminal or a plain tty without modem lines, counters or serial driver data.
bool NotSupported(int Error)
{
    return Error == ENOTTY || Error == EINVAL;
}

// The open device. The port and its event waiter share it; the last owner closes the descriptor,
// so the event thread never polls a number that has been reused.
struct TDevice {
    explicit TDevice(int Descriptor) : Fd(Descriptor) {}
    ~TDevice() { ::close(Fd); }
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    const int Fd;
    // Latched by whoever meets the hang-up first: a transfer, the line-error check or the event thread.
    std::atomic<bool> HungUp{false};
};

// Names without a directory are looked up under /dev. The design's long form for port numbers of
// 10 and above ("\\.\" in front) is accepted and the prefix dropped.
std::string DevicePath(std::string Name)
{
    static const std::string LongPrefix = "\\\\.\\";
    if (Name.compare(0, LongPrefix.size(), LongPrefix) == 0)
        Name.erase(0, LongPrefix.size());
    if (Name.find('/') == std::string::npos)
        return "/dev/" + Name;
    return Name;
}

int DataBitsOf(tcflag_t Flags)
{
    switch (Flags & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

int NiceOf(TThreadPriority Priority)
{
    switch (Priority) {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
    }
    return 0;
}

int NiceOf(TPriorityClass Priority)
{
    switch (Priority) {
    case pcIdle: return 19;
    case pcHigh: return -10;
    case pcRealTime: return -20;
    case pcNormal:
    case pcDefault: return 0;
    }
    return 0;
}

// Error counters are sampled this often where the driver keeps them; nothing else wakes the
// event thread but the device and the port.
constexpr int SampleMs = 200;

class TPosixEventWaiter final : public TEventWaiter {
public:
    TPosixEventWaiter(std::shared_ptr<TDevice> Device, int WakeFd, int32_t InputSize)
        : FDevice(std::move(Device)), FWake(WakeFd), FInputSize(InputSize)
    {
        FCounters = Ioctl(FDevice->Fd, TIOCGICOUNT, &FLast) == 0;
    }
    ~TPosixEventWaiter() override { ::close(FWake); }

    int Wait(uint32_t Mask, uint32_t& Events) override;

    void Wake() noexcept override
    {
        uint64_t One = 1;
        // A full counter already means "woken"; nothing else can fail here.
        [[maybe_unused]] ssize_t n = ::write(FWake, &One, sizeof One);
    }

    void BindCurrentThread() noexcept override
    {
        FTid = ::gettid();
        ApplyPriority();
    }

    void SetPriority(TThreadPriority Priority) noexcept override
    {
        FPriority = Priority;
        ApplyPriority();
    }

    void NoteWrite() noexcept override
    {
        if (!FTxPending.exchange(true))
            Wake();
    }

    void NoteRead() noexcept override
    {
        if (FRxDisarmed.exchange(false))
            Wake();
    }

    void SetInputSize(int32_t Bytes) noexcept override { FInputSize = Bytes; }

private:
    void ApplyPriority() noexcept
    {
        // Linux keeps a nice value per thread. Raising it needs privileges; a refusal keeps the
        // inherited value, as a thread priority is a wish, not a requirement.
        if (pid_t Tid = FTid.load())
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(Tid), NiceOf(FPriority.load()));
    }

    bool NeedsSampling(uint32_t Mask) const
    {
        if (!FWatchDevice)
            return false;
        return (FCounters && (Mask & (EvErr | EvBreak | EvCTS | EvDSR | EvRLSD | EvRing | EvRxChar)) != 0)
            || (Mask & EvRx80Full) != 0 || ((Mask & EvTxEmpty) != 0 && FTxPending.load());
    }

    uint32_t Sample(uint32_t Mask);

    std::shared_ptr<TDevice> FDevice;
    const int FWake;
    std::atomic<int32_t> FInputSize;
    std::atomic<TThreadPriority> FPriority{tpNormal};
    std::atomic<pid_t> FTid{0};
    std::atomic<bool> FTxPending{false};
    // Input is level-triggered: after an RxChar the device is not watched for input until the
    // port has taken some (where counters exist, they tell of further characters meanwhile).
    std::atomic<bool> FRxDisarmed{false};
    // Event-thread only:
    bool FCounters = false;
    serial_icounter_struct FLast{};
    bool FWatchDevice = true;
    bool FRxAbove80 = false;
};

int TPosixEventWaiter::Wait(uint32_t Mask, uint32_t& Events)
{
    Events = 0;
    for (;;) {
        const bool Sampling = NeedsSampling(Mask);
        // A device that has hung up is left alone: its POLLHUP would be reported at once forever.
        short DeviceEvents = ((Mask & EvRxChar) != 0 && !FRxDisarmed.load()) ? POLLIN : 0;
        pollfd Fds[2] = {{FWake, POLLIN, 0}, {FWatchDevice ? FDevice->Fd : -1, DeviceEvents, 0}};
        int n = ::poll(Fds, 2, Sampling ? SampleMs : -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        if (Fds[0].revents & POLLIN) {
            uint64_t Count;
            [[maybe_unused]] ssize_t r = ::read(FWake, &Count, sizeof Count);
            return 0;
        }
        uint32_t Seen = 0;
        if (Fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            FDevice->HungUp = true;
            FWatchDevice = false;
            Seen |= EvErr;
        } else {
            if (Fds[1].revents & POLLIN) {
                Seen |= EvRxChar;
                FRxDisarmed = true;
            }
            if (Sampling || (Fds[1].revents & POLLIN))
                Seen |= Sample(Mask);
        }
        Events = Seen & Mask;
        if (Events != 0)
            return 0;
    }
}

uint32_t TPosixEventWaiter::Sample(uint32_t Mask)
{
    const int Fd = FDevice->Fd;
    uint32_t Seen = 0;
    if (FCounters) {
        serial_icounter_struct Now{};
        int e = Ioctl(Fd, TIOCGICOUNT, &Now);
        if (e == EIO) {
            FDevice->HungUp = true;
            FWatchDevice = false;
            return EvErr;
        }
        if (e == 0) {
            if (Now.frame != FLast.frame || Now.overrun != FLast.overrun || Now.parity != FLast.parity
                || Now.buf_overrun != FLast.buf_overrun)
                Seen |= EvErr;
            if (Now.brk != FLast.brk)
                Seen |= EvBreak;
            if (Now.cts != FLast.cts)
                Seen |= EvCTS;
            if (Now.dsr != FLast.dsr)
                Seen |= EvDSR;
            if (Now.dcd != FLast.dcd)
                Seen |= EvRLSD;
            if (Now.rng != FLast.rng)
                Seen |= EvRing;
            if (Now.rx != FLast.rx)
                Seen |= EvRxChar;
            FLast = Now;
        }
    }
    if ((Mask & EvRx80Full) != 0) {
        int Queued = 0;
        if (Ioctl(Fd, FIONREAD, &Queued) == 0) {
            const int64_t Size = FInputSize.load();
            bool Above = Size > 0 && int64_t{Queued} * 5 >= Size * 4;
            if (Above && !FRxAbove80)
                Seen |= EvRx80Full;
            FRxAbove80 = Above;
        }
    }
    if ((Mask & EvTxEmpty) != 0 && FTxPending.load()) {
        int Pending = 0;
        if (Ioctl(Fd, TIOCOUTQ, &Pending) != 0 || Pending == 0) {
            FTxPending = false;
            Seen |= EvTxEmpty;
        }
    }
    return Seen;
}

class TPosixBackend final : public TComBackend {
public:
    ~TPosixBackend() override
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

    int Purge(bool Input, bool Output) override
    {
        if (!Input && !Output)
            return 0;
        int Queue = Input && Output ? TCIOFLUSH : Input ? TCIFLUSH : TCOFLUSH;
        return ::tcflush(Fd(), Queue) == 0 ? 0 : LastError();
    }

    // The kernel's queues have fixed sizes; the values only scale the Rx80PercFull event.
    int SetBufferSizes(int32_t, int32_t) override { return 0; }

    int ApplyLineSettings(const TLineConfig& Config) override;
    // termios has no total limits; the port keeps them.
    int ApplyTimeouts(const TTimeoutConfig&) override { return 0; }
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

    // Linux keeps nice values per thread, so the class applies to the thread that opens the port
    // (the user-interface thread, which runs every transfer); the event thread has ThreadPriority.
    void SetProcessPriority(TPriorityClass Priority) noexcept override
    {
        errno = 0;
        int Current = ::getpriority(PRIO_PROCESS, 0);
        if (errno == 0 && !FSavedNice)
            FSavedNice = Current;
        ::setpriority(PRIO_PROCESS, 0, NiceOf(Priority));
    }
    void RestoreProcessPriority() noexcept override
    {
        if (FSavedNice) {
            ::setpriority(PRIO_PROCESS, 0, *FSavedNice);
            FSavedNice.reset();
        }
    }

private:
    // Transfers and settings run on the user-interface thread only; the lock guards the device
    // against an unsynchronised event thread's line-error check.
    int Fd() const { return FDevice->Fd; }

    mutable std::mutex FLock;
    std::shared_ptr<TDevice> FDevice;
    bool FHangUpReported = false;
    bool FCounters = false;
    serial_icounter_struct FBaseline{};
    bool FLowLatencySet = false;
    serial_struct FSavedSerial{};
    bool FRs485Set = false;
    nanoseconds FCharTime = milliseconds(1);
    std::optional<int> FSavedNice;
};

int TPosixBackend::Open(const std::string& DeviceName)
{
    Close();
    const std::string Path = DevicePath(DeviceName);
    // Not our controlling terminal; non-blocking, as every wait is a poll with a deadline.
    // Above 2 whatever the process was started with: on 1 or 2, text for the user would go down
    // the line to the converter.
    int Descriptor = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    Descriptor = kvt::platform::KeepOffStandardStreams(Descriptor);
    if (Descriptor < 0)
        return LastError();
    // Owned from here: any failure below closes it again.
    auto Device = std::make_shared<TDevice>(Descriptor);
    // Exclusive use. TIOCEXCL makes the kernel refuse later opens with EBUSY, but not for root;
    // the lock covers root and every other opener that locks. A second opener is told EBUSY,
    // "Device or resource busy", whichever guard stopped it, so "in use" has one code.
    if (int e = Ioctl(Descriptor, TIOCEXCL, nullptr))
        return e;
    if (::flock(Descriptor, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? EBUSY : LastError();

    std::lock_guard<std::mutex> Guard(FLock);
    // USB adapters otherwise hold each received byte back for up to 16 ms. Drivers without serial
    // data (a pseudo-terminal says ENOTTY) or that refuse the flag are used as they are.
    FLowLatencySet = false;
    serial_struct Serial{};
    if (Ioctl(Descriptor, TIOCGSERIAL, &Serial) == 0 && (Serial.flags & ASYNC_LOW_LATENCY) == 0) {
        FSavedSerial = Serial;
        Serial.flags |= ASYNC_LOW_LATENCY;
        FLowLatencySet = Ioctl(Descriptor, TIOCSSERIAL, &Serial) == 0;
    }
    // Errors are counted from here on; a driver without counters (a pseudo-terminal) reports
    // only hang-ups.
    FBaseline = {};
    FCounters = Ioctl(Descriptor, TIOCGICOUNT, &FBaseline) == 0;
    FHangUpReported = false;
    FRs485Set = false;
    FDevice = std::move(Device);
    return 0;
}

void TPosixBackend::Close() noexcept
{
    std::lock_guard<std::mutex> Guard(FLock);
    if (!FDevice)
        return;
    const int Descriptor = FDevice->Fd;
    if (FRs485Set) {
        serial_rs485 Rs485{};
        if (Ioctl(Descriptor, TIOCGRS485, &Rs485) == 0) {
            Rs485.flags &= ~SER_RS485_ENABLED;
            Ioctl(Descriptor, TIOCSRS485, &Rs485);
        }
    }
    if (FLowLatencySet)
        Ioctl(Descriptor, TIOCSSERIAL, &FSavedSerial);
    // The event thread may hold the descriptor a moment longer; the device is free for the next
    // opener at once.
    Ioctl(Descriptor, TIOCNXCL, nullptr);
    ::flock(Descriptor, LOCK_UN);
    FDevice.reset();
}

int TPosixBackend::ApplyLineSettings(const TLineConfig& C)
{
    const int Descriptor = Fd();
    termios T{};
    if (::tcgetattr(Descriptor, &T) != 0)
        return LastError();

    uint32_t CustomRate = 0;
    if (int e = kvt::serial::MapLineSettings(C, T, CustomRate))
        return e;

    if (::tcsetattr(Descriptor, TCSANOW, &T) != 0)
        return LastError();
    if (CustomRate != 0)
        if (int e = kvt::serial::SetCustomSpeed(Descriptor, CustomRate))
            return e;

    // DTR and RTS levels. dcHandshake has no Linux equivalent: DTR is raised, as the line is
    // ready. rcHandshake is CRTSCTS above. rcToggle (RTS up while sending) is the driver's RS-485
    // mode; a driver without it refuses, and so does the setting. A pseudo-terminal has no
    // modem lines at all (ENOTTY, EINVAL): nothing to set there.
    int Raise = 0, Drop = 0;
    if (C.DTR == dcDisable)
        Drop |= TIOCM_DTR;
    else if (C.DTR == dcEnable || C.DTR == dcHandshake)
        Raise |= TIOCM_DTR;
    if (C.RTS == rcDisable)
        Drop |= TIOCM_RTS;
    else if (C.RTS == rcEnable)
        Raise |= TIOCM_RTS;
    if (Raise != 0)
        if (int e = Ioctl(Descriptor, TIOCMBIS, &Raise); e != 0 && !NotSupported(e))
            return e;
    if (Drop != 0)
        if (int e = Ioctl(Descriptor, TIOCMBIC, &Drop); e != 0 && !NotSupported(e))
            return e;
    if (C.RTS == rcToggle || (FRs485Set && C.RTS != rcDefault)) {
        serial_rs485 Rs485{};
        if (int e = Ioctl(Descriptor, TIOCGRS485, &Rs485))
            return e;
        if (C.RTS == rcToggle)
            Rs485.flags = (Rs485.flags | SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND) & ~SER_RS485_RTS_AFTER_SEND;
        else
            Rs485.flags &= ~SER_RS485_ENABLED;
        if (int e = Ioctl(Descriptor, TIOCSRS485, &Rs485))
            return e;
        FRs485Set = C.RTS == rcToggle;
    }

    // The time one character takes on the line paces the wait for the output queue.
    uint32_t Rate = 0;
    if (kvt::serial::GetLineSpeed(Descriptor, Rate) != 0 || Rate == 0)
        Rate = 9600;
    int Bits = 1 + DataBitsOf(T.c_cflag) + ((T.c_cflag & PARENB) ? 1 : 0) + ((T.c_cflag & CSTOPB) ? 2 : 1);
    FCharTime = nanoseconds(int64_t{1000000000} * Bits / Rate);
    return 0;
}

// A pseudo-terminal has no modem lines: its status is the empty set rather than an error.
int TPosixBackend::GetModemStatus(TModemStatus& Status)
{
    Status = {};
    int Lines = 0;
    int e = Ioctl(Fd(), TIOCMGET, &Lines);
    if (e != 0)
        return NotSupported(e) ? 0 : e;
    if (Lines & TIOCM_CTS)
        Status.Include(msCTS);
    if (Lines & TIOCM_DSR)
        Status.Include(msDSR);
    if (Lines & TIOCM_RNG)
        Status.Include(msRing);
    if (Lines & TIOCM_CAR)
        Status.Include(msRLSD);
    return 0;
}

int TPosixBackend::ReadSome(void* Buffer, size_t Length, size_t& Moved)
{
    Moved = 0;
    for (;;) {
        ssize_t n = ::read(Fd(), Buffer, Length);
        if (n > 0) {
            Moved = static_cast<size_t>(n);
            return 0;
        }
        if (n == 0) {
            // VMIN is 1: only a hung-up terminal reads 0 bytes.
            FDevice->HungUp = true;
            return EIO;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        int e = LastError();
        if (e == EIO)
            FDevice->HungUp = true;
        return e;
    }
}

int TPosixBackend::WriteSome(const void* Buffer, size_t Length, size_t& Moved)
{
    Moved = 0;
    for (;;) {
        ssize_t n = ::write(Fd(), Buffer, Length);
        if (n >= 0) {
            Moved = static_cast<size_t>(n);
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        int e = LastError();
        if (e == EIO)
            FDevice->HungUp = true;
        return e;
    }
}

int TPosixBackend::OutputQueue(int& Bytes)
{
    Bytes = 0;
    int e = Ioctl(Fd(), TIOCOUTQ, &Bytes);
    if (e == EIO)
        FDevice->HungUp = true;
    if (e != 0 && NotSupported(e)) {
        Bytes = 0;
        return 0;
    }
    return e;
}

int TPosixBackend::WaitIo(bool In, bool Out, nanoseconds Timeout, unsigned& Ready)
{
    Ready = 0;
    pollfd P{Fd(), static_cast<short>((In ? POLLIN : 0) | (Out ? POLLOUT : 0)), 0};
    timespec Limit{};
    if (Timeout >= nanoseconds::zero()) {
        Limit.tv_sec = static_cast<time_t>(duration_cast<seconds>(Timeout).count());
        Limit.tv_nsec = static_cast<long>((Timeout % seconds(1)).count());
    }
    int n = ::ppoll(&P, 1, Timeout >= nanoseconds::zero() ? &Limit : nullptr, nullptr);
    if (n < 0)
        return errno == EINTR ? 0 : LastError();
    if (P.revents & POLLIN)
        Ready |= IoIn;
    if (P.revents & POLLOUT)
        Ready |= IoOut;
    if (P.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        FDevice->HungUp = true;
        Ready |= IoHangup;
    }
    return 0;
}

int TPosixBackend::TakeLineErrors(const TOptions& Options, TLineErrors& Errors)
{
    Errors = {};
    std::lock_guard<std::mutex> Guard(FLock);
    if (!FDevice)
        return EBADF;
    const int Descriptor = FDevice->Fd;
    // The check itself looks for a hang-up, so that a transfer's check may be the first to see it.
    pollfd P{Descriptor, 0, 0};
    if (::poll(&P, 1, 0) > 0 && (P.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        FDevice->HungUp = true;
    if (FCounters && !FDevice->HungUp) {
        serial_icounter_struct Now{};
        int e = Ioctl(Descriptor, TIOCGICOUNT, &Now);
        if (e == EIO) {
            FDevice->HungUp = true;
        } else if (e != 0) {
            return e;
        } else {
            if (Now.frame != FBaseline.frame)
                Errors.Include(leFrame);
            if (Now.overrun != FBaseline.overrun)
                Errors.Include(leOverrun);
            if (Now.parity != FBaseline.parity && Options.Contains(opCheckParity))
                Errors.Include(leRxParity);
            if (Now.brk != FBaseline.brk)
                Errors.Include(leBreak);
            if (Now.buf_overrun != FBaseline.buf_overrun)
                Errors.Include(leRxOverflow);
            FBaseline = Now;
        }
    }
    // A hang-up is one line error per open, whoever reads it first.
    if (FDevice->HungUp && !FHangUpReported) {
        FHangUpReported = true;
        Errors.Include(leIO);
    }
    return 0;
}

int TPosixBackend::CreateEventWaiter(int32_t InputSize, std::unique_ptr<TEventWaiter>& Waiter)
{
    std::shared_ptr<TDevice> Device;
    {
        std::lock_guard<std::mutex> Guard(FLock);
        Device = FDevice;
    }
    if (!Device)
        return EBADF;
    int Wake = kvt::platform::KeepOffStandardStreams(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (Wake < 0)
        return LastError();
    Waiter = std::make_unique<TPosixEventWaiter>(std::move(Device), Wake, InputSize);
    return 0;
}

} // namespace

std::unique_ptr<TComBackend> CreateComBackend()
{
    return std::make_unique<TPosixBackend>();
}
