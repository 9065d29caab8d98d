#include "serial/comthread.h"

#include <cstdio>
#include <mutex>
#include <thread>

namespace {

std::mutex GlobalsLock;
TSynchronizer GSynchronizer;
TExceptionDisplay GExceptionDisplay;
std::atomic<int> GRunning{0};
thread_local const TComThreadState* GCurrent = nullptr;

} // namespace

namespace kvt::serial {

void Synchronize(const std::function<void()>& Call)
{
    TSynchronizer Synchronizer;
    {
        std::lock_guard<std::mutex> Guard(GlobalsLock);
        Synchronizer = GSynchronizer;
    }
    if (Synchronizer)
        Synchronizer(Call);
    else
        Call();
}

void ShowException(const std::exception& E) noexcept
{
    if (dynamic_cast<const EAbort*>(&E) != nullptr)
        return;
    try {
        TExceptionDisplay Display;
        {
            std::lock_guard<std::mutex> Guard(GlobalsLock);
            Display = GExceptionDisplay;
        }
        if (Display)
            Display(E);
        else
            std::fprintf(stderr, "%s\n", E.what());
    } catch (...) {
        // The display itself failed; there is nobody left to tell.
    }
}

} // namespace kvt::serial

void TCustomComPort::SetSynchronizer(TSynchronizer Synchronizer)
{
    std::lock_guard<std::mutex> Guard(GlobalsLock);
    GSynchronizer = std::move(Synchronizer);
}

void TCustomComPort::SetExceptionDisplay(TExceptionDisplay Display)
{
    std::lock_guard<std::mutex> Guard(GlobalsLock);
    GExceptionDisplay = std::move(Display);
}

TComThread::TComThread(TCustomComPort& Port, std::shared_ptr<TComThreadState> State)
    : FPort(&Port), FState(std::move(State))
{
}

void TComThread::Start(TCustomComPort& Port, std::shared_ptr<TComThreadState> State)
{
    std::unique_ptr<TComThread> Thread(new TComThread(Port, std::move(State)));
    ++GRunning;
    try {
        std::thread([Self = Thread.get()] {
            std::unique_ptr<TComThread> Owner(Self);
            Owner->Execute();
            Owner.reset();
            --GRunning;
        }).detach();
    } catch (...) {
        --GRunning;
        throw;
    }
    Thread.release();
}

int TComThread::RunningCount() noexcept
{
    return GRunning.load();
}

const TComThreadState* TComThread::Current() noexcept
{
    return GCurrent;
}

TComThread::TNotCurrent::TNotCurrent() : FSaved(GCurrent)
{
    GCurrent = nullptr;
}

TComThread::TNotCurrent::~TNotCurrent()
{
    GCurrent = FSaved;
}

void TComThread::Execute()
{
    GCurrent = FState.get();
    FState->Waiter->BindCurrentThread();
    try {
        while (!FState->Stop && WaitForEvent()) {
        }
    } catch (...) {
        // An error carried back from the user-interface thread ends the thread; it has been
        // seen there (OnError) and is not shown again.
    }
    FState->Ended = true;
    GCurrent = nullptr;
}

// One wait and, unless the port has stopped the thread meanwhile, one dispatch. False ends the thread.
bool TComThread::WaitForEvent()
{
    uint32_t Events = 0;
    const int Error = FState->Waiter->Wait(FState->Mask.load(), Events);
    if (FState->Stop)
        return false;
    TComThreadState* State = FState.get();
    TCustomComPort* Port = FPort;
    if (Error != 0) {
        // The wait itself failed: the error goes to the port on the user-interface thread (where
        // OnError sees it), always synchronously; the thread ends, the port stays open.
        kvt::serial::Synchronize([State, Port, Error] {
            if (!State->Stop)
                Port->RaiseThreadError(Error);
        });
        return false;
    }
    if (Events == 0)
        return true; // woken: the mask may have changed
    auto Dispatch = [State, Port, Events] {
        if (!State->Stop)
            Port->DispatchEvents(Events, *State);
    };
    if (State->Synchronize)
        kvt::serial::Synchronize(Dispatch);
    else
        Dispatch();
    return true;
}
