// The port's side of line events: the event mask, starting and stopping the event thread, the
// dispatch of received events and the line-error check.
#include "serial/comport.h"

#include "serial/combackend.h"
#include "serial/comthread.h"
#include "platform/syserror.h"

#include <system_error>

namespace {

// The thirteen line-event handlers, in dispatch order.
struct TEventRow {
    uint32_t Bit;
    const char* LogLine;
};
const TEventRow EventRows[] = {
    {EvBreak, "Break event"},
    {EvCTS, "CTSChange event"},
    {EvDSR, "DSRChange event"},
    {EvErr, "LineError event"},
    {EvEvent1, "Event1 event"},
    {EvEvent2, "Event2 event"},
    {EvPErr, "PrinterError event"},
    {EvRing, "Ring event"},
    {EvRLSD, "RLSDChange event"},
    {EvRx80Full, "Rx80PercFull event"},
    {EvRxChar, "RxChar event"},
    {EvRxFlag, "RxFlag event"},
    {EvTxEmpty, "TxEmpty event"},
};

} // namespace

// How each handler is served on Linux:
// - OnLineError: a hang-up of the device at once; framing, parity, overrun and buffer overrun
//   from the driver's error counters, sampled a few times a second where it keeps them.
// - OnBreak, OnCTSChange, OnDSRChange, OnRLSDChange, OnRing: from the same counters; a driver
//   without counters (a pseudo-terminal) never calls them.
// - OnRxChar: when input is present; then again once the port has taken input (or, where the
//   driver counts received characters, when more came). Rx80PercFull when the input queue
//   reaches 80 % of BufferSizes.Input.
// - OnTxEmpty: when the output queue has run empty after a write.
// - OnRxFlag (Characters.Event received), OnEvent1, OnEvent2, OnPrinterError: Linux has no such
//   events; they never occur, though assigning them runs the thread like any other handler.
uint32_t TCustomComPort::HandlerEventMask() const
{
    uint32_t Mask = 0;
    if (FOnBreak) Mask |= EvBreak;
    if (FOnCTSChange) Mask |= EvCTS;
    if (FOnDSRChange) Mask |= EvDSR;
    if (FOnLineError) Mask |= EvErr;
    if (FOnEvent1) Mask |= EvEvent1;
    if (FOnEvent2) Mask |= EvEvent2;
    if (FOnPrinterError) Mask |= EvPErr;
    if (FOnRing) Mask |= EvRing;
    if (FOnRLSDChange) Mask |= EvRLSD;
    if (FOnRx80PercFull) Mask |= EvRx80Full;
    if (FOnRxChar) Mask |= EvRxChar;
    if (FOnRxFlag) Mask |= EvRxFlag;
    if (FOnTxEmpty) Mask |= EvTxEmpty;
    return Mask;
}

void TCustomComPort::ApplyEventMask()
{
    if (!Active())
        return;
    const uint32_t Mask = HandlerEventMask();
    if (Mask == 0) {
        StopEventThread();
        return;
    }
    if (FThread && !FThread->Ended) {
        FThread->Mask = Mask;
        FThread->Waiter->Wake();
        return;
    }
    StartEventThread();
}

void TCustomComPort::StartEventThread()
{
    if (FThread && !FThread->Ended)
        return;
    // A thread that ended on an error is forgotten; a new one takes its place.
    FThread.reset();
    auto State = std::make_shared<TComThreadState>();
    State->Mask = HandlerEventMask();
    State->Synchronize = FSynchronizeEvents;
    CheckSystemCall(FBackend->CreateEventWaiter(FBufferSizes.Input(), State->Waiter));
    State->Waiter->SetPriority(FThreadPriority);
    try {
        TComThread::Start(*this, State);
    } catch (const std::exception&) {
        RaiseError(0, "Can't create thread");
    }
    FThread = std::move(State);
}

void TCustomComPort::StopEventThread()
{
    if (!FThread)
        return;
    FThread->Stop = true;
    FThread->Waiter->Wake();
    FThread.reset();
}

void TCustomComPort::DispatchEvents(uint32_t Mask, const TComThreadState& Thread)
{
    try {
        for (const TEventRow& Row : EventRows) {
            if ((Mask & Row.Bit) == 0)
                continue;
            // A handler closed the port: nothing more is dispatched.
            if (Thread.Stop)
                return;
            if (!FLogFile.empty())
                WriteLog(Row.LogLine);
            if (Row.Bit == EvErr) {
                if (FOnLineError)
                    CheckLineErrors();
                continue;
            }
            TNotifyEvent Handler;
            switch (Row.Bit) {
            case EvBreak: Handler = FOnBreak; break;
            case EvCTS: Handler = FOnCTSChange; break;
            case EvDSR: Handler = FOnDSRChange; break;
            case EvEvent1: Handler = FOnEvent1; break;
            case EvEvent2: Handler = FOnEvent2; break;
            case EvPErr: Handler = FOnPrinterError; break;
            case EvRing: Handler = FOnRing; break;
            case EvRLSD: Handler = FOnRLSDChange; break;
            case EvRx80Full: Handler = FOnRx80PercFull; break;
            case EvRxChar: Handler = FOnRxChar; break;
            case EvRxFlag: Handler = FOnRxFlag; break;
            case EvTxEmpty: Handler = FOnTxEmpty; break;
            default: break;
            }
            if (Handler)
                Handler(this);
        }
    } catch (const std::exception& E) {
        kvt::serial::ShowException(E);
    }
}

void TCustomComPort::RaiseThreadError(int32_t Code)
{
    RaiseError(Code, kvt::platform::SysErrorMessage(Code));
}

void TCustomComPort::CheckLineErrors()
{
    CheckOpen();
    TLineErrors Errors;
    CheckSystemCall(FBackend->TakeLineErrors(FOptions, Errors));
    if (!Errors.Empty())
        if (auto Handler = FOnLineError)
            Handler(this, Errors);
}

// Handlers: assigning or clearing one of the thirteen re-applies the event mask while open.
// Handlers cannot be compared, so only "none again" counts as no change.
#define KVT_LINE_EVENT_SETTER(Name, Type)                                                                    \
    void TCustomComPort::Set##Name(Type Value)                                                               \
    {                                                                                                        \
        if (!F##Name && !Value)                                                                              \
            return;                                                                                          \
        F##Name = std::move(Value);                                                                          \
        ApplyEventMask();                                                                                    \
    }

KVT_LINE_EVENT_SETTER(OnBreak, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnCTSChange, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnDSRChange, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnLineError, TLineErrorEvent)
KVT_LINE_EVENT_SETTER(OnEvent1, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnEvent2, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnPrinterError, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnRing, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnRLSDChange, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnRx80PercFull, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnRxChar, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnRxFlag, TNotifyEvent)
KVT_LINE_EVENT_SETTER(OnTxEmpty, TNotifyEvent)

#undef KVT_LINE_EVENT_SETTER
