// The port's event thread and the state it shares with its port.
#pragma once

#include "serial/combackend.h"
#include "serial/comport.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

// What a port and its event thread share. The port drops its reference at close; the thread
// keeps its own until it ends, so the thread never reaches into a port that is gone: it touches
// the port only inside a dispatch, and a dispatch first checks Stop, which the port sets on the
// user-interface thread before it closes or goes.
class TComThreadState {
public:
    std::atomic<bool> Stop{false};
    // The thread has ended on its own (an error); the port then starts a new one when needed.
    std::atomic<bool> Ended{false};
    std::atomic<uint32_t> Mask{0};
    bool Synchronize = true;
    std::unique_ptr<TEventWaiter> Waiter;
};

class TComThread {
public:
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Starts a thread for Port, running at once and freeing itself when it ends. Throws
    // std::system_error when no thread can be created.
    static void Start(TCustomComPort& Port, std::shared_ptr<TComThreadState> State);

    // Event threads of any port that have not ended yet.
    static int RunningCount() noexcept;

    // The state of the event thread that runs the calling code; nullptr on any other thread.
    static const TComThreadState* Current() noexcept;

    // While it lives, code on an event thread counts as running elsewhere (a close handed over
    // to a synchronizer that runs calls in place).
    class TNotCurrent {
    public:
        TNotCurrent();
        ~TNotCurrent();
        TNotCurrent(const TNotCurrent&) = delete;
        TNotCurrent& operator=(const TNotCurrent&) = delete;

    private:
        const TComThreadState* FSaved;
    };

private:
    TComThread(TCustomComPort& Port, std::shared_ptr<TComThreadState> State);
    void Execute();
    bool WaitForEvent();

    TCustomComPort* FPort;
    std::shared_ptr<TComThreadState> FState;
};

namespace kvt::serial {

// Runs Call on the user-interface thread through the installed synchronizer and returns when it
// has run; without one it runs here. An exception from Call comes back to the caller.
void Synchronize(const std::function<void()>& Call);

// Shows E through the installed exception display (stderr without one); never raises.
void ShowException(const std::exception& E) noexcept;

} // namespace kvt::serial
