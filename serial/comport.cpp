// The port's properties, opening and closing, and error reporting.
#include "serial/comport.h"

#include "serial/combackend.h"
#include "serial/comlog.h"
#include "serial/comthread.h"
#include "serial/comtransfer.h"
#include "serial/syserror.h"

#include <system_error>

int32_t BaudRateValue(TBaudRate Rate)
{
    static const int32_t Rates[] = {0, 50, 75, 110, 150, 300, 600, 1200, 1800, 2000, 2400, 3600, 4800, 7200,
        9600, 10400, 14400, 15625, 19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000, 0};
    static_assert(sizeof Rates / sizeof Rates[0] == brCustom + 1);
    auto Index = static_cast<unsigned>(Rate);
    return Index < sizeof Rates / sizeof Rates[0] ? Rates[Index] : 0;
}

// Sub-objects: every setter compares, stores, and re-applies its group while the port is open.

void TFlowControl::SetDTR(TDTRControl Value)
{
    if (Value == FDTR)
        return;
    FDTR = Value;
    FPort.ApplyLineSettings();
}

void TFlowControl::SetRTS(TRTSControl Value)
{
    if (Value == FRTS)
        return;
    FRTS = Value;
    FPort.ApplyLineSettings();
}

void TFlowControl::SetXOnXOff(TXOnXOffControl Value)
{
    if (Value == FXOnXOff)
        return;
    FXOnXOff = Value;
    FPort.ApplyLineSettings();
}

void TFlowControl::SetXOnLimit(uint16_t Value)
{
    if (Value == FXOnLimit)
        return;
    FXOnLimit = Value;
    FPort.ApplyLineSettings();
}

void TFlowControl::SetXOffLimit(uint16_t Value)
{
    if (Value == FXOffLimit)
        return;
    FXOffLimit = Value;
    FPort.ApplyLineSettings();
}

void TCharacters::SetXOn(char Value)
{
    if (Value == FXOn)
        return;
    FXOn = Value;
    FPort.ApplyLineSettings();
}

void TCharacters::SetXOff(char Value)
{
    if (Value == FXOff)
        return;
    FXOff = Value;
    FPort.ApplyLineSettings();
}

void TCharacters::SetError(char Value)
{
    if (Value == FError)
        return;
    FError = Value;
    FPort.ApplyLineSettings();
}

void TCharacters::SetEof(char Value)
{
    if (Value == FEof)
        return;
    FEof = Value;
    FPort.ApplyLineSettings();
}

void TCharacters::SetEvent(char Value)
{
    if (Value == FEvent)
        return;
    FEvent = Value;
    FPort.ApplyLineSettings();
}

void TBufferSizes::SetInput(int32_t Value)
{
    if (Value == FInput)
        return;
    FInput = Value;
    FPort.ApplyBufferSizes();
}

void TBufferSizes::SetOutput(int32_t Value)
{
    if (Value == FOutput)
        return;
    FOutput = Value;
    FPort.ApplyBufferSizes();
}

void TTimeouts::SetReadInterval(int32_t Value)
{
    if (Value == FReadInterval)
        return;
    FReadInterval = Value;
    FPort.ApplyTimeouts();
}

void TTimeouts::SetReadMultiplier(int32_t Value)
{
    if (Value == FReadMultiplier)
        return;
    FReadMultiplier = Value;
    FPort.ApplyTimeouts();
}

void TTimeouts::SetReadConstant(int32_t Value)
{
    if (Value == FReadConstant)
        return;
    FReadConstant = Value;
    FPort.ApplyTimeouts();
}

void TTimeouts::SetWriteMultiplier(int32_t Value)
{
    if (Value == FWriteMultiplier)
        return;
    FWriteMultiplier = Value;
    FPort.ApplyTimeouts();
}

void TTimeouts::SetWriteConstant(int32_t Value)
{
    if (Value == FWriteConstant)
        return;
    FWriteConstant = Value;
    FPort.ApplyTimeouts();
}

TCustomComPort::TCustomComPort()
    : FBackend(CreateComBackend()), FTransfers(std::make_unique<TComTransfers>())
{
}

TCustomComPort::~TCustomComPort()
{
    // Closing runs the handlers, which may raise; a destructor passes that to the display.
    try {
        Close();
    } catch (const std::exception& E) {
        kvt::serial::ShowException(E);
    } catch (...) {
    }
    CloseDevice();
}

void TCustomComPort::BeginLoading()
{
    FLoading = true;
}

void TCustomComPort::Loaded()
{
    FLoading = false;
    SetActive(FActiveValue);
}

std::string TCustomComPort::About() const
{
    return "TComPort serial port component";
}

bool TCustomComPort::Active() const
{
    return FBackend->IsOpen();
}

void TCustomComPort::SetActive(bool Value)
{
    FActiveValue = Value;
    if (FLoading || Value == Active())
        return;
    if (Value)
        Open();
    else
        Close();
}

void TCustomComPort::Open()
{
    if (Active())
        return;
    if (auto Handler = FBeforeOpen)
        Handler(this);
    OpenDevice();
    if (!FLogFile.empty())
        WriteLog("Open " + FDeviceName);
    if (Active())
        if (auto Handler = FAfterOpen)
            Handler(this);
}

void TCustomComPort::OpenDevice()
{
    CloseDevice();
    try {
        if (FPriorityClass != pcDefault)
            FBackend->SetProcessPriority(FPriorityClass);
        CheckSystemCall(FBackend->Open(FDeviceName));
        PurgeInput();
        PurgeOutput();
        ApplyBufferSizes();
        ApplyLineSettings();
        ApplyTimeouts();
        ApplyEventMask();
    } catch (...) {
        CloseDevice();
        throw;
    }
}

void TCustomComPort::Close()
{
    // A close that starts on an event thread runs on the user-interface thread while the event
    // thread waits for it.
    if (TComThread::Current() != nullptr) {
        kvt::serial::Synchronize([this] {
            TComThread::TNotCurrent Guard;
            Close();
        });
        return;
    }
    if (!Active())
        return;
    if (auto Handler = FBeforeClose)
        Handler(this);
    CloseDevice();
    if (!FLogFile.empty())
        WriteLog("Close " + FDeviceName);
    if (!Active())
        if (auto Handler = FAfterClose)
            Handler(this);
}

void TCustomComPort::CloseDevice()
{
    // Never waits for the event thread: this runs inside dispatches that the thread waits on.
    StopEventThread();
    FTransfers->Read.Abandon();
    FTransfers->Write.Abandon();
    FBackend->Close();
    FBackend->RestoreProcessPriority();
}

void TCustomComPort::ApplyBufferSizes()
{
    if (!Active())
        return;
    CheckSystemCall(FBackend->SetBufferSizes(FBufferSizes.Input(), FBufferSizes.Output()));
    if (FThread)
        FThread->Waiter->SetInputSize(FBufferSizes.Input());
}

void TCustomComPort::ApplyLineSettings()
{
    if (!Active())
        return;
    TLineConfig C;
    C.BaudRate = FBaudRate;
    C.CustomBaudRate = FCustomBaudRate;
    C.DataBits = FDataBits;
    C.Parity = FParity;
    C.StopBits = FStopBits;
    C.Options = FOptions;
    C.DTR = FFlowControl.DTR();
    C.RTS = FFlowControl.RTS();
    C.XOnXOff = FFlowControl.XOnXOff();
    C.XOnLimit = FFlowControl.XOnLimit();
    C.XOffLimit = FFlowControl.XOffLimit();
    C.XOn = FCharacters.XOn();
    C.XOff = FCharacters.XOff();
    C.Error = FCharacters.Error();
    C.Eof = FCharacters.Eof();
    C.Event = FCharacters.Event();
    CheckSystemCall(FBackend->ApplyLineSettings(C));
}

// The port reads the time limits when a transfer starts, so a change reaches the next one; the
// driver is given them as well where it keeps its own.
void TCustomComPort::ApplyTimeouts()
{
    if (!Active())
        return;
    TTimeoutConfig C;
    C.ReadInterval = FTimeouts.ReadInterval();
    C.ReadMultiplier = FTimeouts.ReadMultiplier();
    C.ReadConstant = FTimeouts.ReadConstant();
    C.WriteMultiplier = FTimeouts.WriteMultiplier();
    C.WriteConstant = FTimeouts.WriteConstant();
    CheckSystemCall(FBackend->ApplyTimeouts(C));
}

void TCustomComPort::SetBaudRate(TBaudRate Value)
{
    if (Value == FBaudRate)
        return;
    FBaudRate = Value;
    ApplyLineSettings();
}

int32_t TCustomComPort::CustomBaudRate() const
{
    return FBaudRate == brCustom ? FCustomBaudRate : BaudRateValue(FBaudRate);
}

void TCustomComPort::SetCustomBaudRate(int32_t Value)
{
    if (Value == FCustomBaudRate)
        return;
    FCustomBaudRate = Value;
    FBaudRate = brCustom;
    ApplyLineSettings();
}

void TCustomComPort::SetDataBits(TDataBits Value)
{
    if (Value == FDataBits)
        return;
    FDataBits = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetDeviceName(const std::string& Value)
{
    if (Value == FDeviceName)
        return;
    CheckClosed();
    FDeviceName = Value;
}

void TCustomComPort::SetLogFile(const std::string& Value)
{
    FLogFile = Value;
}

TModemStatus TCustomComPort::ModemStatus()
{
    CheckOpen();
    TModemStatus Status;
    CheckSystemCall(FBackend->GetModemStatus(Status));
    return Status;
}

void TCustomComPort::SetOptions(TOptions Value)
{
    if (Value == FOptions)
        return;
    FOptions = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetParity(TParity Value)
{
    if (Value == FParity)
        return;
    FParity = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetPriorityClass(TPriorityClass Value)
{
    if (Value == FPriorityClass)
        return;
    CheckClosed();
    FPriorityClass = Value;
}

void TCustomComPort::SetStopBits(TStopBits Value)
{
    if (Value == FStopBits)
        return;
    FStopBits = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetSynchronizeEvents(bool Value)
{
    if (Value == FSynchronizeEvents)
        return;
    CheckClosed();
    FSynchronizeEvents = Value;
}

void TCustomComPort::SetThreadPriority(TThreadPriority Value)
{
    if (Value == FThreadPriority)
        return;
    FThreadPriority = Value;
    if (FThread)
        FThread->Waiter->SetPriority(Value);
}

namespace {

// OnError sees every error before it is raised, and may turn it into the silent abort.
template <typename TError>
[[noreturn]] void RaiseThrough(TCustomComPort* Port, const TComErrorEvent& Handler, const TError& E)
{
    if (Handler) {
        TComAction Action = caRaise;
        Handler(Port, E, Action);
        if (Action == caAbort)
            throw EAbort();
    }
    throw E;
}

} // namespace

void TCustomComPort::RaiseError(int32_t Code, const std::string& Message)
{
    RaiseThrough(this, FOnError, EComError(Message, Code));
}

void TCustomComPort::RaiseTimeout()
{
    RaiseThrough(this, FOnError, EComTimeout());
}

void TCustomComPort::CheckSystemCall(int Code)
{
    if (Code != 0)
        RaiseError(Code, kvt::serial::SysErrorMessage(Code));
}

void TCustomComPort::CheckOpen()
{
    if (!Active())
        RaiseError(0, "Can't perform this operation on a closed port");
}

void TCustomComPort::CheckClosed()
{
    if (Active())
        RaiseError(0, "Can't perform this operation on an open port");
}

// A log line that cannot be written is an input/output error of the operation that wrote it; it
// is not one of the port's own errors, so OnError does not see it.
void TCustomComPort::WriteLog(const std::string& Message, const void* Data, int32_t Length)
{
    if (int e = kvt::serial::AppendLogLine(FLogFile, Message, Data, Length))
        throw EComError(kvt::serial::TrimSystemText(std::generic_category().message(e)), e);
}

void TCustomComPort::EnumPorts(std::vector<std::string>& Strings)
{
    EnumSerialPorts(Strings);
}
