#include "serial/win32_comm.h"

namespace kvt::serial::win32 {

// The event bits of the port are those of the comm mask.
static_assert(EvRxChar == EV_RXCHAR && EvRxFlag == EV_RXFLAG && EvTxEmpty == EV_TXEMPTY && EvCTS == EV_CTS
    && EvDSR == EV_DSR && EvRLSD == EV_RLSD && EvBreak == EV_BREAK && EvErr == EV_ERR && EvRing == EV_RING
    && EvPErr == EV_PERR && EvRx80Full == EV_RX80FULL && EvEvent1 == EV_EVENT1 && EvEvent2 == EV_EVENT2);

DWORD MapDcb(const TLineConfig& C, DCB& Dcb)
{
    if (C.BaudRate == brCustom) {
        if (C.CustomBaudRate <= 0)
            return ERROR_INVALID_PARAMETER;
        Dcb.BaudRate = static_cast<DWORD>(C.CustomBaudRate);
    } else if (C.BaudRate != brDefault) {
        const int32_t Rate = BaudRateValue(C.BaudRate);
        if (Rate <= 0)
            return ERROR_INVALID_PARAMETER;
        Dcb.BaudRate = static_cast<DWORD>(Rate);
    }

    switch (C.DataBits) {
    case dbDefault: break;
    case db4: Dcb.ByteSize = 4; break;
    case db5: Dcb.ByteSize = 5; break;
    case db6: Dcb.ByteSize = 6; break;
    case db7: Dcb.ByteSize = 7; break;
    case db8: Dcb.ByteSize = 8; break;
    default: return ERROR_INVALID_PARAMETER;
    }

    switch (C.Parity) {
    case paDefault: break;
    case paNone: Dcb.Parity = NOPARITY; break;
    case paOdd: Dcb.Parity = ODDPARITY; break;
    case paEven: Dcb.Parity = EVENPARITY; break;
    case paMark: Dcb.Parity = MARKPARITY; break;
    case paSpace: Dcb.Parity = SPACEPARITY; break;
    default: return ERROR_INVALID_PARAMETER;
    }

    switch (C.StopBits) {
    case sbDefault: break;
    case sb1: Dcb.StopBits = ONESTOPBIT; break;
    case sb1_5: Dcb.StopBits = ONE5STOPBITS; break;
    case sb2: Dcb.StopBits = TWOSTOPBITS; break;
    default: return ERROR_INVALID_PARAMETER;
    }

    Dcb.XonChar = C.XOn;
    Dcb.XoffChar = C.XOff;
    Dcb.ErrorChar = C.Error;
    Dcb.EofChar = C.Eof;
    Dcb.EvtChar = C.Event;

    switch (C.DTR) {
    case dcDefault: break;
    case dcDisable: Dcb.fDtrControl = DTR_CONTROL_DISABLE; break;
    case dcEnable: Dcb.fDtrControl = DTR_CONTROL_ENABLE; break;
    case dcHandshake: Dcb.fDtrControl = DTR_CONTROL_HANDSHAKE; break;
    default: return ERROR_INVALID_PARAMETER;
    }

    switch (C.RTS) {
    case rcDefault: break;
    case rcDisable: Dcb.fRtsControl = RTS_CONTROL_DISABLE; break;
    case rcEnable: Dcb.fRtsControl = RTS_CONTROL_ENABLE; break;
    case rcHandshake: Dcb.fRtsControl = RTS_CONTROL_HANDSHAKE; break;
    case rcToggle: Dcb.fRtsControl = RTS_CONTROL_TOGGLE; break;
    default: return ERROR_INVALID_PARAMETER;
    }

    switch (C.XOnXOff) {
    case xcDefault: break;
    case xcDisable: Dcb.fOutX = 0; Dcb.fInX = 0; break;
    case xcInput: Dcb.fOutX = 0; Dcb.fInX = 1; break;
    case xcOutput: Dcb.fOutX = 1; Dcb.fInX = 0; break;
    case xcInputOutput: Dcb.fOutX = 1; Dcb.fInX = 1; break;
    default: return ERROR_INVALID_PARAMETER;
    }
    Dcb.XonLim = C.XOnLimit;
    Dcb.XoffLim = C.XOffLimit;

    const TOptions& O = C.Options;
    Dcb.fParity = O.Contains(opCheckParity);
    Dcb.fOutxCtsFlow = O.Contains(opOutputCTSFlow);
    Dcb.fOutxDsrFlow = O.Contains(opOutputDSRFlow);
    Dcb.fDsrSensitivity = O.Contains(opDSRSensitivity);
    Dcb.fTXContinueOnXoff = O.Contains(opTXContinueOnXOff);
    Dcb.fErrorChar = O.Contains(opUseErrorChar);
    Dcb.fNull = O.Contains(opDiscardNullBytes);
    Dcb.fAbortOnError = O.Contains(opAbortOnError);
    Dcb.fBinary = 1;
    return 0;
}

std::vector<DWORD> LineLevelFunctions(const TLineConfig& C)
{
    std::vector<DWORD> Functions;
    if (C.DTR == dcDisable)
        Functions.push_back(CLRDTR);
    else if (C.DTR == dcEnable)
        Functions.push_back(SETDTR);
    if (C.RTS == rcDisable)
        Functions.push_back(CLRRTS);
    else if (C.RTS == rcEnable)
        Functions.push_back(SETRTS);
    return Functions;
}

COMMTIMEOUTS CommTimeoutsFrom(const TTimeoutConfig& C)
{
    COMMTIMEOUTS T{};
    T.ReadIntervalTimeout = static_cast<DWORD>(C.ReadInterval);
    T.ReadTotalTimeoutMultiplier = static_cast<DWORD>(C.ReadMultiplier);
    T.ReadTotalTimeoutConstant = static_cast<DWORD>(C.ReadConstant);
    T.WriteTotalTimeoutMultiplier = static_cast<DWORD>(C.WriteMultiplier);
    T.WriteTotalTimeoutConstant = static_cast<DWORD>(C.WriteConstant);
    return T;
}

COMMTIMEOUTS WithReadWait(COMMTIMEOUTS Base, DWORD WaitMs)
{
    // No interval, no multiplier: a one-byte read ends at its byte or at the constant; a constant
    // of 0 with no other limit is none at all.
    Base.ReadIntervalTimeout = 0;
    Base.ReadTotalTimeoutMultiplier = 0;
    Base.ReadTotalTimeoutConstant = WaitMs == INFINITE ? 0 : WaitMs;
    return Base;
}

COMMTIMEOUTS WithQueuedRead(COMMTIMEOUTS Base)
{
    Base.ReadIntervalTimeout = MAXDWORD;
    Base.ReadTotalTimeoutMultiplier = 0;
    Base.ReadTotalTimeoutConstant = 0;
    return Base;
}

DWORD WaitMilliseconds(std::chrono::nanoseconds Timeout)
{
    using namespace std::chrono;
    if (Timeout < nanoseconds::zero())
        return INFINITE;
    const auto Ms = duration_cast<milliseconds>(Timeout + milliseconds(1) - nanoseconds(1)).count();
    if (Ms < 1)
        return 1;
    if (Ms >= static_cast<long long>(INFINITE))
        return INFINITE - 1;
    return static_cast<DWORD>(Ms);
}

TLineErrors LineErrorsFrom(DWORD E)
{
    TLineErrors Errors;
    if (E & CE_BREAK) Errors.Include(leBreak);
    if (E & CE_DNS) Errors.Include(leDeviceNotSelected);
    if (E & CE_FRAME) Errors.Include(leFrame);
    if (E & CE_IOE) Errors.Include(leIO);
    if (E & CE_MODE) Errors.Include(leMode);
    if (E & CE_OOP) Errors.Include(leOutOfPaper);
    if (E & CE_OVERRUN) Errors.Include(leOverrun);
    if (E & CE_PTO) Errors.Include(leTimeout);
    if (E & CE_RXOVER) Errors.Include(leRxOverflow);
    if (E & CE_RXPARITY) Errors.Include(leRxParity);
    if (E & CE_TXFULL) Errors.Include(leTxFull);
    return Errors;
}

TModemStatus ModemStatusFrom(DWORD S)
{
    TModemStatus Status;
    if (S & MS_CTS_ON) Status.Include(msCTS);
    if (S & MS_DSR_ON) Status.Include(msDSR);
    if (S & MS_RING_ON) Status.Include(msRing);
    if (S & MS_RLSD_ON) Status.Include(msRLSD);
    return Status;
}

bool IsDeviceGone(DWORD Error)
{
    switch (Error) {
    case ERROR_ACCESS_DENIED:        // a USB adapter pulled out
    case ERROR_NOT_READY:            // wine: the other end of a pseudo-terminal closed
    case ERROR_BAD_COMMAND:
    case ERROR_BROKEN_PIPE:          // wine: a read after the hang-up
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}

bool MayBeDeviceGone(DWORD Error)
{
    return Error == ERROR_GEN_FAILURE;
}

TReadEnd ClassifyReadEnd(bool Succeeded, DWORD Error, DWORD Bytes)
{
    if (Succeeded)
        return Bytes > 0 ? TReadEnd::Data : TReadEnd::TimedOut;
    if ((Error == ERROR_TIMEOUT || Error == ERROR_SEM_TIMEOUT) && Bytes == 0)
        return TReadEnd::TimedOut;
    if ((Error == ERROR_TIMEOUT || Error == ERROR_SEM_TIMEOUT) && Bytes > 0)
        return TReadEnd::Data;
    if (Error == ERROR_OPERATION_ABORTED)
        return TReadEnd::Aborted;
    if (IsDeviceGone(Error))
        return TReadEnd::DeviceGone;
    if (MayBeDeviceGone(Error))
        return TReadEnd::MaybeGone;
    return TReadEnd::Failed;
}

TWaitEnd ClassifyWaitEnd(bool Succeeded, DWORD Error, bool Woken)
{
    if (Woken)
        return TWaitEnd::Woken;
    if (Succeeded)
        return TWaitEnd::Events;
    switch (Error) {
    case ERROR_OPERATION_ABORTED:
        return TWaitEnd::Aborted;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER:
        return TWaitEnd::Unsupported;
    default:
        if (IsDeviceGone(Error))
            return TWaitEnd::DeviceGone;
        return MayBeDeviceGone(Error) ? TWaitEnd::MaybeGone : TWaitEnd::Failed;
    }
}

TIoWaitPlan PlanIoWait(bool In, bool ReadPending, bool Out, bool WritePending)
{
    TIoWaitPlan Plan;
    Plan.Read = In && ReadPending;
    Plan.Write = WritePending && (Out || !Plan.Read);
    Plan.Sleep = !Plan.Read && !Plan.Write;
    return Plan;
}

bool EndCancelledIo(HANDLE Handle, OVERLAPPED& Overlapped, DWORD LimitMs)
{
    CancelIoEx(Handle, &Overlapped);
    if (WaitForSingleObject(Overlapped.hEvent, LimitMs) != WAIT_OBJECT_0)
        return false;
    DWORD Bytes = 0;
    GetOverlappedResult(Handle, &Overlapped, &Bytes, FALSE);
    return true;
}

bool IsLineNotSupported(DWORD Error)
{
    return Error == ERROR_NOT_SUPPORTED || Error == ERROR_INVALID_FUNCTION;
}

std::chrono::nanoseconds CharTime(const DCB& Dcb)
{
    const int64_t Rate = Dcb.BaudRate > 0 ? Dcb.BaudRate : 9600;
    const int64_t Data = Dcb.ByteSize >= 4 && Dcb.ByteSize <= 8 ? Dcb.ByteSize : 8;
    const int64_t Parity = Dcb.Parity == NOPARITY ? 0 : 1;
    // Half bits in numerator: 1.5 stop bits stay exact.
    const int64_t StopHalves = Dcb.StopBits == ONE5STOPBITS ? 3 : Dcb.StopBits == TWOSTOPBITS ? 4 : 2;
    const int64_t Halves = 2 * (1 + Data + Parity) + StopHalves;
    return std::chrono::nanoseconds(int64_t{1000000000} * Halves / (2 * Rate));
}

DWORD PriorityClassOf(TPriorityClass Priority)
{
    switch (Priority) {
    case pcIdle: return IDLE_PRIORITY_CLASS;
    case pcHigh: return HIGH_PRIORITY_CLASS;
    case pcRealTime: return REALTIME_PRIORITY_CLASS;
    case pcNormal:
    case pcDefault: break;
    }
    return NORMAL_PRIORITY_CLASS;
}

int ThreadPriorityOf(TThreadPriority Priority)
{
    switch (Priority) {
    case tpIdle: return THREAD_PRIORITY_IDLE;
    case tpLowest: return THREAD_PRIORITY_LOWEST;
    case tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case tpNormal: return THREAD_PRIORITY_NORMAL;
    case tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case tpHighest: return THREAD_PRIORITY_HIGHEST;
    case tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
    }
    return THREAD_PRIORITY_NORMAL;
}

} // namespace kvt::serial::win32
