#include "memory_line.h"

#include "tools/sim/assembler.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kvt::test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct TMemorySim::TLine {
    // The converter's part of each frame.
    std::function<void(const TFrame&, Clock::time_point)> Carry;
    mutable std::mutex Lock;
    bool Up = false;
    bool Gone = false;
    Clock::time_point Started;
    sim::TFrameAssembler Requests;
    // Reply bytes, each with the time it is on the port's side.
    std::deque<std::pair<Clock::time_point, uint8_t>> Input;

    bool Due(Clock::time_point Now) const { return !Input.empty() && Input.front().first <= Now; }
};

namespace {

class TWaiter : public TEventWaiter {
public:
    int Wait(uint32_t, uint32_t& Events) override
    {
        std::unique_lock lock(FLock);
        FWake.wait(lock, [this] { return FWoken; });
        FWoken = false;
        Events = 0;
        return 0;
    }
    void Wake() noexcept override
    {
        std::lock_guard lock(FLock);
        FWoken = true;
        FWake.notify_all();
    }
    void BindCurrentThread() noexcept override {}
    void SetPriority(TThreadPriority) noexcept override {}
    void NoteWrite() noexcept override {}
    void NoteRead() noexcept override {}
    void SetInputSize(int32_t) noexcept override {}

private:
    std::mutex FLock;
    std::condition_variable FWake;
    bool FWoken = false;
};

class TPortEnd : public TComBackend {
public:
    explicit TPortEnd(std::shared_ptr<TMemorySim::TLine> Line) : FLine(std::move(Line)) {}

    int Open(const std::string&) override
    {
        std::lock_guard lock(FLine->Lock);
        if (!FLine->Up || FLine->Gone)
            return ENOENT;
        FLine->Input.clear();
        FOpen = true;
        FHangUpReported = false;
        return 0;
    }
    void Close() noexcept override { FOpen = false; }
    bool IsOpen() const noexcept override { return FOpen; }

    int Purge(bool Input, bool) override
    {
        // What has arrived goes; what is still on its way comes later.
        std::lock_guard lock(FLine->Lock);
        while (Input && FLine->Due(Clock::now()))
            FLine->Input.pop_front();
        return 0;
    }
    int SetBufferSizes(int32_t, int32_t) override { return 0; }
    int ApplyLineSettings(const TLineConfig&) override { return 0; }
    int ApplyTimeouts(const TTimeoutConfig&) override { return 0; }
    int GetModemStatus(TModemStatus& Status) override
    {
        Status = {};
        return 0;
    }

    int ReadSome(void* Buffer, size_t Length, size_t& Moved) override
    {
        Moved = 0;
        std::lock_guard lock(FLine->Lock);
        if (FLine->Gone)
            return EIO;
        auto* out = static_cast<uint8_t*>(Buffer);
        const Clock::time_point now = Clock::now();
        while (Moved < Length && FLine->Due(now)) {
            out[Moved++] = FLine->Input.front().second;
            FLine->Input.pop_front();
        }
        return 0;
    }
    int WriteSome(const void* Buffer, size_t Length, size_t& Moved) override
    {
        Moved = 0;
        std::vector<TFrame> frames;
        {
            std::lock_guard lock(FLine->Lock);
            if (FLine->Gone)
                return EIO;
            FLine->Requests.Feed(static_cast<const uint8_t*>(Buffer), Length);
            for (TFrame f; FLine->Requests.Next(f);)
                frames.push_back(f);
        }
        Moved = Length;
        for (const TFrame& f : frames)
            FLine->Carry(f, Clock::now());
        return 0;
    }
    int OutputQueue(int& Bytes) override
    {
        Bytes = 0;
        return 0;
    }
    int WaitIo(bool In, bool Out, std::chrono::nanoseconds Timeout, unsigned& Ready) override
    {
        const auto deadline = Timeout < 0ns ? Clock::time_point::max() : Clock::now() + Timeout;
        for (;;) {
            Ready = 0;
            Clock::time_point next = deadline;
            {
                std::lock_guard lock(FLine->Lock);
                const Clock::time_point now = Clock::now();
                if (FLine->Gone)
                    Ready |= IoHangup;
                if (Out)
                    Ready |= IoOut;
                if (In && FLine->Due(now))
                    Ready |= IoIn;
                if (Ready != 0 || now >= deadline)
                    return 0;
                if (In && !FLine->Input.empty())
                    next = std::min(next, FLine->Input.front().first);
                // A hang-up from another thread is seen within this.
                next = std::min(next, now + 20ms);
            }
            std::this_thread::sleep_until(next);
        }
    }
    std::chrono::nanoseconds CharTime() const override { return 2083333ns; } // 4800 Bd, 8N1
    bool HungUp() const noexcept override
    {
        std::lock_guard lock(FLine->Lock);
        return FLine->Gone;
    }
    int TakeLineErrors(const TOptions&, TLineErrors& Errors) override
    {
        Errors = {};
        if (HungUp() && !FHangUpReported) {
            FHangUpReported = true;
            Errors.Include(leIO);
        }
        return 0;
    }
    int CreateEventWaiter(int32_t, std::unique_ptr<TEventWaiter>& Waiter) override
    {
        Waiter = std::make_unique<TWaiter>();
        return 0;
    }
    void SetProcessPriority(TPriorityClass) noexcept override {}
    void RestoreProcessPriority() noexcept override {}

private:
    std::shared_ptr<TMemorySim::TLine> FLine;
    bool FOpen = false;
    bool FHangUpReported = false;
};

} // namespace

TMemorySim::TMemorySim(const sim::TConverterConfig& Config) : TSimConverter(Config), FLine(std::make_shared<TLine>())
{
    FLine->Carry = [this](const TFrame& Request, Clock::time_point Now) {
        Clock::time_point started;
        {
            std::lock_guard lock(FLine->Lock);
            started = FLine->Started;
        }
        const sim::TReplyPlan plan = Take(Request, std::chrono::duration<double>(Now - started).count());
        {
            std::lock_guard lock(FLine->Lock);
            if (plan.HangUp) {
                FLine->Gone = true;
            } else if (plan.Reply) {
                const Clock::time_point first = Now + std::chrono::milliseconds(plan.DelayMs);
                const bool split = plan.SplitAt > 0 && plan.SplitAt < plan.Length;
                for (int i = 0; i < plan.Length; ++i) {
                    const Clock::time_point at =
                        split && i >= plan.SplitAt ? first + std::chrono::milliseconds(plan.SplitPauseMs) : first;
                    FLine->Input.emplace_back(at, (*plan.Reply)[static_cast<std::size_t>(i)]);
                }
            }
        }
        if (plan.Reply)
            CountReply();
        Handled();
    };
}

TMemorySim::~TMemorySim()
{
    // A port that outlives the simulator finds the line gone, not a dangling converter.
    std::lock_guard lock(FLine->Lock);
    FLine->Gone = true;
    FLine->Carry = [](const TFrame&, Clock::time_point) {};
}

std::unique_ptr<TComBackend> TMemorySim::Backend()
{
    return std::make_unique<TPortEnd>(FLine);
}

void TMemorySim::Start()
{
    Restart();
    std::lock_guard lock(FLine->Lock);
    FLine->Up = true;
    FLine->Gone = false;
    FLine->Started = Clock::now();
    FLine->Requests.Clear();
    FLine->Input.clear();
}

void TMemorySim::Stop()
{
    std::lock_guard lock(FLine->Lock);
    FLine->Up = false;
    FLine->Gone = true;
}

void TMemorySim::HangUp()
{
    std::lock_guard lock(FLine->Lock);
    FLine->Gone = true;
}

bool TMemorySim::HungUp() const
{
    std::lock_guard lock(FLine->Lock);
    return FLine->Gone;
}

} // namespace kvt::test
