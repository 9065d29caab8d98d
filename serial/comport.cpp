// Interim bodies so that the interface links; replaced by the full implementation.
#include "serial/comport.h"

int32_t BaudRateValue(TBaudRate Rate)
{
    static const int32_t Rates[] = {0, 50, 75, 110, 150, 300, 600, 1200, 1800, 2000, 2400, 3600,
        4800, 7200, 9600, 10400, 14400, 15625, 19200, 28800, 38400, 56000, 57600, 115200, 128000,
        256000, 0};
    return Rates[Rate];
}

class TComBackend {};

void TFlowControl::SetDTR(TDTRControl Value) { FDTR = Value; }
void TFlowControl::SetRTS(TRTSControl Value) { FRTS = Value; }
void TFlowControl::SetXOnXOff(TXOnXOffControl Value) { FXOnXOff = Value; }
void TFlowControl::SetXOnLimit(uint16_t Value) { FXOnLimit = Value; }
void TFlowControl::SetXOffLimit(uint16_t Value) { FXOffLimit = Value; }
void TCharacters::SetXOn(char Value) { FXOn = Value; }
void TCharacters::SetXOff(char Value) { FXOff = Value; }
void TCharacters::SetError(char Value) { FError = Value; }
void TCharacters::SetEof(char Value) { FEof = Value; }
void TCharacters::SetEvent(char Value) { FEvent = Value; }
void TBufferSizes::SetInput(int32_t Value) { FInput = Value; }
void TBufferSizes::SetOutput(int32_t Value) { FOutput = Value; }
void TTimeouts::SetReadInterval(int32_t Value) { FReadInterval = Value; }
void TTimeouts::SetReadMultiplier(int32_t Value) { FReadMultiplier = Value; }
void TTimeouts::SetReadConstant(int32_t Value) { FReadConstant = Value; }
void TTimeouts::SetWriteMultiplier(int32_t Value) { FWriteMultiplier = Value; }
void TTimeouts::SetWriteConstant(int32_t Value) { FWriteConstant = Value; }

TCustomComPort::TCustomComPort() = default;
TCustomComPort::~TCustomComPort() = default;
void TCustomComPort::BeginLoading() {}
void TCustomComPort::Loaded() {}
void TCustomComPort::Open() { OpenDevice(); }
void TCustomComPort::Close() { CloseDevice(); }
void TCustomComPort::Read(void*, int32_t, bool) { CheckOpen(); }
void TCustomComPort::Write(const void*, int32_t, bool) { CheckOpen(); }
void TCustomComPort::WriteString(const std::string& Data) { Write(Data.data(), static_cast<int32_t>(Data.size()), false); }
void TCustomComPort::WaitForRead() { CheckLineErrors(); }
void TCustomComPort::WaitForWrite() { CheckLineErrors(); }
bool TCustomComPort::ReadPending() { return false; }
bool TCustomComPort::WritePending() { return false; }
void TCustomComPort::PurgeInput() {}
void TCustomComPort::PurgeOutput() {}
void TCustomComPort::CheckLineErrors() { CheckOpen(); }
void TCustomComPort::EnumPorts(std::vector<std::string>&) {}
void TCustomComPort::SetSynchronizer(TSynchronizer) {}
void TCustomComPort::SetExceptionDisplay(TExceptionDisplay) {}
std::string TCustomComPort::About() const { return "TComPort"; }
bool TCustomComPort::Active() const { return false; }
void TCustomComPort::SetActive(bool Value) { if (Value) Open(); else Close(); }
void TCustomComPort::SetBaudRate(TBaudRate Value) { FBaudRate = Value; }
int32_t TCustomComPort::CustomBaudRate() const { return FBaudRate == brCustom ? FCustomBaudRate : BaudRateValue(FBaudRate); }
void TCustomComPort::SetCustomBaudRate(int32_t Value) { FCustomBaudRate = Value; FBaudRate = brCustom; }
void TCustomComPort::SetDataBits(TDataBits Value) { FDataBits = Value; }
void TCustomComPort::SetDeviceName(const std::string& Value) { FDeviceName = Value; }
void TCustomComPort::SetLogFile(const std::string& Value) { FLogFile = Value; }
TModemStatus TCustomComPort::ModemStatus() { CheckOpen(); return {}; }
void TCustomComPort::SetOptions(TOptions Value) { FOptions = Value; }
void TCustomComPort::SetParity(TParity Value) { FParity = Value; }
void TCustomComPort::SetPriorityClass(TPriorityClass Value) { FPriorityClass = Value; }
void TCustomComPort::SetStopBits(TStopBits Value) { FStopBits = Value; }
void TCustomComPort::SetSynchronizeEvents(bool Value) { FSynchronizeEvents = Value; }
void TCustomComPort::SetThreadPriority(TThreadPriority Value) { FThreadPriority = Value; }
void TCustomComPort::SetOnBreak(TNotifyEvent Value) { FOnBreak = std::move(Value); }
void TCustomComPort::SetOnCTSChange(TNotifyEvent Value) { FOnCTSChange = std::move(Value); }
void TCustomComPort::SetOnDSRChange(TNotifyEvent Value) { FOnDSRChange = std::move(Value); }
void TCustomComPort::SetOnLineError(TLineErrorEvent Value) { FOnLineError = std::move(Value); }
void TCustomComPort::SetOnEvent1(TNotifyEvent Value) { FOnEvent1 = std::move(Value); }
void TCustomComPort::SetOnEvent2(TNotifyEvent Value) { FOnEvent2 = std::move(Value); }
void TCustomComPort::SetOnPrinterError(TNotifyEvent Value) { FOnPrinterError = std::move(Value); }
void TCustomComPort::SetOnRing(TNotifyEvent Value) { FOnRing = std::move(Value); }
void TCustomComPort::SetOnRLSDChange(TNotifyEvent Value) { FOnRLSDChange = std::move(Value); }
void TCustomComPort::SetOnRx80PercFull(TNotifyEvent Value) { FOnRx80PercFull = std::move(Value); }
void TCustomComPort::SetOnRxChar(TNotifyEvent Value) { FOnRxChar = std::move(Value); }
void TCustomComPort::SetOnRxFlag(TNotifyEvent Value) { FOnRxFlag = std::move(Value); }
void TCustomComPort::SetOnTxEmpty(TNotifyEvent Value) { FOnTxEmpty = std::move(Value); }
void TCustomComPort::OpenDevice() { RaiseError(2, "No such file or directory"); }
void TCustomComPort::CloseDevice() {}
void TCustomComPort::RaiseError(int32_t Code, const std::string& Message) { throw EComError(Message, Code); }
void TCustomComPort::CheckOpen() { if (!Active()) RaiseError(0, "Can't perform this operation on a closed port"); }
void TCustomComPort::CheckClosed() { if (Active()) RaiseError(0, "Can't perform this operation on an open port"); }
