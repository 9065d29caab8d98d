#include "tools/sim/simulator.h"

#include "platform/std_streams.h"
#include "protocol/commands.h"
#include "protocol/frame_text.h"
#include "tools/sim/assembler.h"
#include "tools/sim/pty.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace kvt::sim {

namespace {

using Clock = std::chrono::steady_clock;

// One byte of 8N1: start bit, eight data bits, stop bit.
Clock::duration ByteTime(int Baud)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(10.0 / Baud));
}

void Reseal(TFrame& f)
{
    f = BuildFrame(f[0], f[1], f[2], f[3], f[4]);
}

} // namespace

TSimulator::TSimulator(const TConverterConfig& Config) : FConverter(Config) {}

TSimulator::~TSimulator()
{
    Stop();
}

void TSimulator::Start()
{
    if (FThread.joinable())
        throw std::logic_error("simulator already running");
    auto pty = std::make_unique<TPseudoTerminal>();
    pty->Open();
    if (pipe2(FWake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error(std::string("simulator: pipe: ") + std::strerror(errno));
    // Above 2 as the line: what is written to a standard stream must not wake the thread. Stop()
    // closes what is left after a failure.
    for (int& fd : FWake)
        fd = platform::KeepOffStandardStreams(fd);
    if (FWake[0] < 0 || FWake[1] < 0)
        throw std::runtime_error(std::string("simulator: pipe: ") + std::strerror(errno));
    {
        std::lock_guard lock(FMutex);
        FCounters = {};
        FReceived.clear();
        FHandledFrames = 0;
        FDevicePath = pty->SlavePath();
    }
    FPty = std::move(pty);
    FStop = false;
    FHangUpRequest = false;
    FHungUp = false;
    FStart = Clock::now();
    FThread = std::thread([this] { Run(); });
}

void TSimulator::Stop()
{
    if (FThread.joinable()) {
        FStop = true;
        const char c = 's';
        [[maybe_unused]] auto n = ::write(FWake[1], &c, 1);
        FThread.join();
    }
    for (int& fd : FWake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    FPty.reset();
    std::lock_guard lock(FMutex);
    FDevicePath.clear();
}

bool TSimulator::Running() const
{
    return FThread.joinable() && !FHungUp;
}

std::string TSimulator::DevicePath() const
{
    std::lock_guard lock(FMutex);
    return FDevicePath;
}

void TSimulator::HangUp()
{
    if (!FThread.joinable() || FHungUp)
        return;
    FHangUpRequest = true;
    const char c = 'h';
    [[maybe_unused]] auto n = ::write(FWake[1], &c, 1);
    // Returns once the line is gone, so the caller can rely on the client seeing it.
    std::unique_lock lock(FMutex);
    FHandled.wait_for(lock, std::chrono::seconds(10), [this] { return FHungUp.load(); });
}

bool TSimulator::HungUp() const
{
    return FHungUp;
}

void TSimulator::SetWord(uint8_t Address, uint16_t Value)
{
    std::lock_guard lock(FMutex);
    FConverter.SetWord(Address, Value);
}

uint16_t TSimulator::Word(uint8_t Address) const
{
    std::lock_guard lock(FMutex);
    return FConverter.Word(Address);
}

TWords TSimulator::Words() const
{
    std::lock_guard lock(FMutex);
    return FConverter.Config().Words;
}

void TSimulator::SetSignal(const TSignal& Signal)
{
    std::lock_guard lock(FMutex);
    FConverter.Config().Signal = Signal;
}

void TSimulator::SetModel(int Model)
{
    std::lock_guard lock(FMutex);
    FConverter.Config().Model = Model;
}

void TSimulator::SetFirmwareVersion(int32_t Version)
{
    std::lock_guard lock(FMutex);
    FConverter.Config().FirmwareVersion = Version;
}

void TSimulator::SetTemperatureRaw(int32_t Raw)
{
    std::lock_guard lock(FMutex);
    FConverter.Config().TemperatureRaw = Raw;
}

void TSimulator::SetConfigType(uint16_t ConfigType)
{
    std::lock_guard lock(FMutex);
    FConverter.Config().ConfigType = ConfigType;
}

TConverterConfig TSimulator::Config() const
{
    std::lock_guard lock(FMutex);
    return FConverter.Config();
}

TOutputState TSimulator::Output() const
{
    std::lock_guard lock(FMutex);
    return FConverter.Output();
}

void TSimulator::SetFaults(const TFaults& Faults)
{
    std::lock_guard lock(FMutex);
    FFaults = Faults;
}

TFaults TSimulator::Faults() const
{
    std::lock_guard lock(FMutex);
    return FFaults;
}

void TSimulator::SetTrace(std::function<void(const std::string& Line)> Sink)
{
    std::lock_guard lock(FTraceMutex);
    FTrace = std::move(Sink);
}

std::vector<TFrame> TSimulator::Received() const
{
    std::lock_guard lock(FMutex);
    return FReceived;
}

void TSimulator::ClearReceived()
{
    std::lock_guard lock(FMutex);
    FReceived.clear();
}

TCounters TSimulator::Counters() const
{
    std::lock_guard lock(FMutex);
    return FCounters;
}

bool TSimulator::WaitForFrames(uint64_t Count, std::chrono::milliseconds Timeout) const
{
    std::unique_lock lock(FMutex);
    return FHandled.wait_for(lock, Timeout, [&] { return FHandledFrames >= Count; });
}

void TSimulator::Trace(const std::string& Line)
{
    std::lock_guard lock(FTraceMutex);
    if (!FTrace)
        return;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - FStart).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f ", ms);
    FTrace(stamp + Line);
}

bool TSimulator::SleepUntil(Clock::time_point When)
{
    for (;;) {
        const auto left = When - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd p{FWake[0], POLLIN, 0};
        const int r = ppoll(&p, 1, &ts, nullptr);
        if (r > 0)
            return false;  // stop or hang-up requested; the main loop takes the wake byte
        if (r < 0 && errno != EINTR)
            return false;
    }
}

bool TSimulator::WriteAll(const uint8_t* Data, std::size_t Length)
{
    std::size_t done = 0;
    while (done < Length) {
        const ssize_t n = ::write(FPty->Master(), Data + done, Length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The client's input queue is full (nobody reads): give it a moment, then drop the rest
            // as a line would.
            pollfd p[2] = {{FPty->Master(), POLLOUT, 0}, {FWake[0], POLLIN, 0}};
            const int r = poll(p, 2, 200);
            if (r > 0 && (p[1].revents & POLLIN))
                return false;
            if (r > 0 && (p[0].revents & POLLOUT))
                continue;
            std::lock_guard lock(FMutex);
            FCounters.DroppedBytes += Length - done;
            return true;
        }
        return false;
    }
    std::lock_guard lock(FMutex);
    FCounters.BytesOut += Length;
    return true;
}

bool TSimulator::SendReply(const TFrame& Reply, int SplitAt, int SplitPauseMs, int Length, int Baud)
{
    const bool split = SplitAt > 0 && SplitAt < Length;
    auto next = Clock::now();
    int i = 0;
    while (i < Length) {
        int end = split && i < SplitAt ? SplitAt : Length;
        if (Baud > 0) {
            // Paced byte by byte: each byte is there once its stop bit has gone.
            end = i + 1;
            next += ByteTime(Baud);
        }
        if (!SleepUntil(next))
            return false;
        if (!WriteAll(Reply.data() + i, static_cast<std::size_t>(end - i)))
            return false;
        i = end;
        if (split && i == SplitAt)
            next = std::max(next, Clock::now()) + std::chrono::milliseconds(SplitPauseMs);
    }
    return true;
}

void TSimulator::HandleFrame(const TFrame& Request, Clock::time_point Arrived)
{
    Trace("rx " + HexBytes(Request) + "  " + DescribeRequest(Request));

    int baud;
    {
        std::lock_guard lock(FMutex);
        baud = FFaults.LineBaud;
    }
    // On a real line the seventh byte is in only this long after the first.
    bool go = baud <= 0 || SleepUntil(Arrived + FrameSize * ByteTime(baud));

    const uint8_t cmd = Request[0];
    std::optional<TFrame> reply;
    TFaults f;
    bool hangUp = false;
    {
        std::lock_guard lock(FMutex);
        f = FFaults;
        const uint64_t number = ++FCounters.Frames;
        FReceived.push_back(Request);
        // The line goes down as the next frame comes in, so the client is waiting for its reply.
        hangUp = f.HangUpAfterFrames > 0 && number > static_cast<uint64_t>(f.HangUpAfterFrames);
    }
    if (hangUp) {
        if (go) {
            Trace("   hang-up");
            CloseLine();
        }
        {
            std::lock_guard lock(FMutex);
            ++FHandledFrames;
        }
        FHandled.notify_all();
        return;
    }
    uint64_t number = 0;
    {
        std::lock_guard lock(FMutex);
        number = FCounters.Frames;
        const double seconds = std::chrono::duration<double>(Clock::now() - FStart).count();
        // The command takes effect even when its reply is withheld, as with a reply lost on the line.
        reply = FConverter.Handle(Request, seconds);
        const bool wordHit = f.NoReplyToWord >= 0 &&
            ((cmd == CmdReadWord && Request[4] == f.NoReplyToWord) ||
                (cmd == CmdWriteWord && Request[2] == f.NoReplyToWord));
        if (f.Mute || (f.NoReplyToFrame > 0 && number == static_cast<uint64_t>(f.NoReplyToFrame)) ||
            f.NoReplyToCommand == cmd || wordHit)
            reply.reset();
        if (!reply)
            ++FCounters.Unanswered;
    }

    if (reply && go) {
        const bool scoped = f.OnlyCommand < 0 || f.OnlyCommand == cmd;
        TFrame r = *reply;
        int length = FrameSize, splitAt = 0, pause = 0, delay = 0;
        if (scoped) {
            if (f.WrongStation && cmd == CmdIdentify) {
                r[3] = static_cast<uint8_t>(Request[1] + 1);
                Reseal(r);
            }
            if (f.WrongEcho) {
                r[0] = cmd == CmdReadWord ? CmdMeasure : CmdReadWord;
                Reseal(r);
            }
            if (f.BadCrc)
                r[5] ^= 0x01;
            if (f.SwapCrc)
                std::swap(r[5], r[6]);
            if (f.TruncateAt > 0 && f.TruncateAt < FrameSize)
                length = f.TruncateAt;
            splitAt = f.SplitAt;
            pause = f.SplitPauseMs;
            if (f.DelayFrame <= 0 || number == static_cast<uint64_t>(f.DelayFrame))
                delay = f.ReplyDelayMs;
        }
        if (delay > 0)
            go = SleepUntil(Clock::now() + std::chrono::milliseconds(delay));
        if (go) {
            const std::string_view sent(reinterpret_cast<const char*>(r.data()), static_cast<std::size_t>(length));
            Trace("tx " + HexBytes(sent) + "  " + DescribeReply(r, cmd) +
                (length < FrameSize ? ", cut after " + std::to_string(length) + " bytes" : ""));
            go = SendReply(r, splitAt, pause, length, baud);
        }
        std::lock_guard lock(FMutex);
        ++FCounters.Replies;
    } else if (go) {
        Trace("   (no reply)");
    }

    {
        std::lock_guard lock(FMutex);
        ++FHandledFrames;
    }
    FHandled.notify_all();
}

void TSimulator::CloseLine()
{
    FPty->Close();
    {
        std::lock_guard lock(FMutex);
        FHungUp = true;
    }
    FHandled.notify_all();
}

void TSimulator::Run()
{
    TFrameAssembler assembler;
    Clock::time_point firstByte = Clock::now();
    uint8_t buf[512];

    uint64_t dropped = 0;
    auto traceSkipped = [&] {
        if (assembler.Dropped() != dropped) {
            std::lock_guard lock(FMutex);
            FCounters.SkippedBytes += assembler.Dropped() - dropped;
        }
        dropped = assembler.Dropped();
        for (const TFrame& bad : assembler.TakeBadFrames())
            Trace("rx " + HexBytes(bad) + "  " + DescribeRequest(bad) + ", ignored");
        const std::vector<uint8_t> skipped = assembler.TakeSkipped();
        if (!skipped.empty())
            Trace("rx " + HexBytes(std::string_view(reinterpret_cast<const char*>(skipped.data()), skipped.size())) +
                "  skipped, no frame there");
    };

    while (!FStop && !FHungUp) {
        pollfd p[2] = {{FPty->Master(), POLLIN, 0}, {FWake[0], POLLIN, 0}};
        const int r = poll(p, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (p[1].revents & POLLIN) {
            char drain[16];
            while (::read(FWake[0], drain, sizeof drain) > 0) {
            }
            if (FStop)
                break;
            if (FHangUpRequest) {
                Trace("   hang-up");
                CloseLine();
                break;
            }
        }
        if (p[0].revents & POLLIN) {
            const ssize_t n = ::read(FPty->Master(), buf, sizeof buf);
            if (n > 0) {
                if (assembler.Pending() == 0)
                    firstByte = Clock::now();
                assembler.Feed(buf, static_cast<std::size_t>(n));
                {
                    std::lock_guard lock(FMutex);
                    FCounters.BytesIn += static_cast<uint64_t>(n);
                }
                TFrame frame;
                while (!FStop && !FHungUp && assembler.Next(frame)) {
                    traceSkipped();
                    HandleFrame(frame, firstByte);
                    firstByte = Clock::now();
                }
                traceSkipped();
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
        }
        if (p[0].revents & (POLLHUP | POLLERR | POLLIN)) {
            // The held slave keeps the line up, so this is transient; do not spin on it.
            pollfd w{FWake[0], POLLIN, 0};
            poll(&w, 1, 20);
        }
    }
}

} // namespace kvt::sim
