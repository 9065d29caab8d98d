// The serial port component: one object per port, configured through properties, opened and
// closed through Active, used for timed transfers; while open with a line-event handler assigned it
// runs one event thread. The platform code lives in a backend behind this interface.
#pragma once

#include "comtypes.h"

#include <memory>
#include <string>
#include <vector>

class TCustomComPort;
class TComThread;
class TComBackend;
class TComThreadState;
struct TComTransfers;

class TFlowControl {
public:
    explicit TFlowControl(TCustomComPort& Port) : FPort(Port) {}
    TDTRControl DTR() const { return FDTR; }
    void SetDTR(TDTRControl Value);
    TRTSControl RTS() const { return FRTS; }
    void SetRTS(TRTSControl Value);
    TXOnXOffControl XOnXOff() const { return FXOnXOff; }
    void SetXOnXOff(TXOnXOffControl Value);
    uint16_t XOnLimit() const { return FXOnLimit; }
    void SetXOnLimit(uint16_t Value);
    uint16_t XOffLimit() const { return FXOffLimit; }
    void SetXOffLimit(uint16_t Value);

private:
    TCustomComPort& FPort;
    TDTRControl FDTR = dcDefault;
    TRTSControl FRTS = rcDefault;
    TXOnXOffControl FXOnXOff = xcDefault;
    uint16_t FXOnLimit = 0;
    uint16_t FXOffLimit = 0;
};

class TCharacters {
public:
    explicit TCharacters(TCustomComPort& Port) : FPort(Port) {}
    char XOn() const { return FXOn; }
    void SetXOn(char Value);
    char XOff() const { return FXOff; }
    void SetXOff(char Value);
    char Error() const { return FError; }
    void SetError(char Value);
    char Eof() const { return FEof; }
    void SetEof(char Value);
    char Event() const { return FEvent; }
    void SetEvent(char Value);

private:
    TCustomComPort& FPort;
    char FXOn = 17;
    char FXOff = 19;
    char FError = 0;
    char FEof = 0;
    char FEvent = 0;
};

class TBufferSizes {
public:
    explicit TBufferSizes(TCustomComPort& Port) : FPort(Port) {}
    int32_t Input() const { return FInput; }
    void SetInput(int32_t Value);
    int32_t Output() const { return FOutput; }
    void SetOutput(int32_t Value);

private:
    TCustomComPort& FPort;
    int32_t FInput = 4096;
    int32_t FOutput = 2048;
};

class TTimeouts {
public:
    explicit TTimeouts(TCustomComPort& Port) : FPort(Port) {}
    int32_t ReadInterval() const { return FReadInterval; }
    void SetReadInterval(int32_t Value);
    int32_t ReadMultiplier() const { return FReadMultiplier; }
    void SetReadMultiplier(int32_t Value);
    int32_t ReadConstant() const { return FReadConstant; }
    void SetReadConstant(int32_t Value);
    int32_t WriteMultiplier() const { return FWriteMultiplier; }
    void SetWriteMultiplier(int32_t Value);
    int32_t WriteConstant() const { return FWriteConstant; }
    void SetWriteConstant(int32_t Value);

private:
    TCustomComPort& FPort;
    int32_t FReadInterval = 0;
    int32_t FReadMultiplier = 0;
    int32_t FReadConstant = 0;
    int32_t FWriteMultiplier = 0;
    int32_t FWriteConstant = 0;
};

class TCustomComPort {
public:
    TCustomComPort();
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // Stored-property loading: between BeginLoading and Loaded, writing Active only records it;
    // Loaded writes the recorded value again.
    void BeginLoading();
    virtual void Loaded();

    void Open();
    void Close();

    // Transfers.
    void Read(void* Buffer, int32_t Length, bool WaitOnCompletion);
    void Write(const void* Buffer, int32_t Length, bool WaitOnCompletion);
    void WriteString(const std::string& Data);
    void WaitForRead();
    void WaitForWrite();
    bool ReadPending();
    bool WritePending();
    void PurgeInput();
    void PurgeOutput();

    // Reads and clears the accumulated line errors; calls OnLineError when there are any.
    void CheckLineErrors();

    // Appends the names of the serial ports present: "ttyUSB0" on Linux, "COM3" on Windows.
    static void EnumPorts(std::vector<std::string>& Strings);

    static void SetSynchronizer(TSynchronizer Synchronizer);
    static void SetExceptionDisplay(TExceptionDisplay Display);

protected:
    // Properties.
    std::string About() const;
    void SetAbout(const std::string&) {}
    bool Active() const;
    void SetActive(bool Value);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    TBufferSizes& BufferSizes() { return FBufferSizes; }
    TCharacters& Characters() { return FCharacters; }
    int32_t CustomBaudRate() const;
    void SetCustomBaudRate(int32_t Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    const std::string& DeviceName() const { return FDeviceName; }
    void SetDeviceName(const std::string& Value);
    TFlowControl& FlowControl() { return FFlowControl; }
    const std::string& LogFile() const { return FLogFile; }
    void SetLogFile(const std::string& Value);
    TModemStatus ModemStatus();
    TOptions Options() const { return FOptions; }
    void SetOptions(TOptions Value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity Value);
    TPriorityClass PriorityClass() const { return FPriorityClass; }
    void SetPriorityClass(TPriorityClass Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    bool SynchronizeEvents() const { return FSynchronizeEvents; }
    void SetSynchronizeEvents(bool Value);
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority Value);
    TTimeouts& Timeouts() { return FTimeouts; }

    // Events. Changing one of the thirteen line-event handlers re-applies the event mask when open.
    const TOpenCloseEvent& AfterClose() const { return FAfterClose; }
    void SetAfterClose(TOpenCloseEvent Value) { FAfterClose = std::move(Value); }
    const TOpenCloseEvent& AfterOpen() const { return FAfterOpen; }
    void SetAfterOpen(TOpenCloseEvent Value) { FAfterOpen = std::move(Value); }
    const TOpenCloseEvent& BeforeClose() const { return FBeforeClose; }
    void SetBeforeClose(TOpenCloseEvent Value) { FBeforeClose = std::move(Value); }
    const TOpenCloseEvent& BeforeOpen() const { return FBeforeOpen; }
    void SetBeforeOpen(TOpenCloseEvent Value) { FBeforeOpen = std::move(Value); }
    const TReadWriteEvent& AfterRead() const { return FAfterRead; }
    void SetAfterRead(TReadWriteEvent Value) { FAfterRead = std::move(Value); }
    const TReadWriteEvent& AfterWrite() const { return FAfterWrite; }
    void SetAfterWrite(TReadWriteEvent Value) { FAfterWrite = std::move(Value); }
    const TReadWriteEvent& BeforeRead() const { return FBeforeRead; }
    void SetBeforeRead(TReadWriteEvent Value) { FBeforeRead = std::move(Value); }
    const TReadWriteEvent& BeforeWrite() const { return FBeforeWrite; }
    void SetBeforeWrite(TReadWriteEvent Value) { FBeforeWrite = std::move(Value); }
    const TComErrorEvent& OnError() const { return FOnError; }
    void SetOnError(TComErrorEvent Value) { FOnError = std::move(Value); }
    const TNotifyEvent& OnBreak() const { return FOnBreak; }
    void SetOnBreak(TNotifyEvent Value);
    const TNotifyEvent& OnCTSChange() const { return FOnCTSChange; }
    void SetOnCTSChange(TNotifyEvent Value);
    const TNotifyEvent& OnDSRChange() const { return FOnDSRChange; }
    void SetOnDSRChange(TNotifyEvent Value);
    const TLineErrorEvent& OnLineError() const { return FOnLineError; }
    void SetOnLineError(TLineErrorEvent Value);
    const TNotifyEvent& OnEvent1() const { return FOnEvent1; }
    void SetOnEvent1(TNotifyEvent Value);
    const TNotifyEvent& OnEvent2() const { return FOnEvent2; }
    void SetOnEvent2(TNotifyEvent Value);
    const TNotifyEvent& OnPrinterError() const { return FOnPrinterError; }
    void SetOnPrinterError(TNotifyEvent Value);
    const TNotifyEvent& OnRing() const { return FOnRing; }
    void SetOnRing(TNotifyEvent Value);
    const TNotifyEvent& OnRLSDChange() const { return FOnRLSDChange; }
    void SetOnRLSDChange(TNotifyEvent Value);
    const TNotifyEvent& OnRx80PercFull() const { return FOnRx80PercFull; }
    void SetOnRx80PercFull(TNotifyEvent Value);
    const TNotifyEvent& OnRxChar() const { return FOnRxChar; }
    void SetOnRxChar(TNotifyEvent Value);
    const TNotifyEvent& OnRxFlag() const { return FOnRxFlag; }
    void SetOnRxFlag(TNotifyEvent Value);
    const TNotifyEvent& OnTxEmpty() const { return FOnTxEmpty; }
    void SetOnTxEmpty(TNotifyEvent Value);

    // Creates the events, opens the device and applies every setting.
    virtual void OpenDevice();
    // Releases whatever is open; safe to run at any time.
    void CloseDevice();

    // Error reporting shared by every operation of the component.
    [[noreturn]] void RaiseError(int32_t Code, const std::string& Message);
    [[noreturn]] void RaiseTimeout();
    void CheckOpen();
    void CheckClosed();

private:
    friend class TFlowControl;
    friend class TCharacters;
    friend class TBufferSizes;
    friend class TTimeouts;
    friend class TComThread;

    TFlowControl FFlowControl{*this};
    TCharacters FCharacters{*this};
    TBufferSizes FBufferSizes{*this};
    TTimeouts FTimeouts{*this};

    TBaudRate FBaudRate = brDefault;
    int32_t FCustomBaudRate = 0;
    TDataBits FDataBits = dbDefault;
    std::string FDeviceName = "COM1";
    std::string FLogFile;
    TOptions FOptions;
    TParity FParity = paDefault;
    TPriorityClass FPriorityClass = pcDefault;
    TStopBits FStopBits = sbDefault;
    bool FSynchronizeEvents = true;
    TThreadPriority FThreadPriority = tpTimeCritical;

    TOpenCloseEvent FAfterClose, FAfterOpen, FBeforeClose, FBeforeOpen;
    TReadWriteEvent FAfterRead, FAfterWrite, FBeforeRead, FBeforeWrite;
    TComErrorEvent FOnError;
    TNotifyEvent FOnBreak, FOnCTSChange, FOnDSRChange, FOnEvent1, FOnEvent2, FOnPrinterError, FOnRing,
        FOnRLSDChange, FOnRx80PercFull, FOnRxChar, FOnRxFlag, FOnTxEmpty;
    TLineErrorEvent FOnLineError;

    // The rest of the state (device, pending transfers, write copy, thread) is the implementer's.
    std::unique_ptr<TComBackend> FBackend;
    std::unique_ptr<TComTransfers> FTransfers;
    // The port-owned copy of the data of a write that does not wait.
    std::vector<uint8_t> FWriteCopy;
    // The running event thread's shared state; the thread keeps its own reference and frees itself.
    std::shared_ptr<TComThreadState> FThread;
    bool FActiveValue = false;
    bool FLoading = false;

    void ApplyBufferSizes();
    void ApplyLineSettings();
    void ApplyTimeouts();
    void ApplyEventMask();
    uint32_t HandlerEventMask() const;
    void StartEventThread();
    void StopEventThread();
    void DispatchEvents(uint32_t Mask, const TComThreadState& Thread);
    void RaiseThreadError(int32_t Code);
    void CheckSystemCall(int Code);
    void WriteLog(const std::string& Message, const void* Data = nullptr, int32_t Length = 0);
    void ProgressTransfers();
    void PumpTransfers(bool ForRead);
};

// The component as the program uses it: every property and event public.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;

    using TCustomComPort::About;
    using TCustomComPort::SetAbout;
    using TCustomComPort::Active;
    using TCustomComPort::SetActive;
    using TCustomComPort::BaudRate;
    using TCustomComPort::SetBaudRate;
    using TCustomComPort::BufferSizes;
    using TCustomComPort::Characters;
    using TCustomComPort::CustomBaudRate;
    using TCustomComPort::SetCustomBaudRate;
    using TCustomComPort::DataBits;
    using TCustomComPort::SetDataBits;
    using TCustomComPort::DeviceName;
    using TCustomComPort::SetDeviceName;
    using TCustomComPort::FlowControl;
    using TCustomComPort::LogFile;
    using TCustomComPort::SetLogFile;
    using TCustomComPort::ModemStatus;
    using TCustomComPort::Options;
    using TCustomComPort::SetOptions;
    using TCustomComPort::Parity;
    using TCustomComPort::SetParity;
    using TCustomComPort::PriorityClass;
    using TCustomComPort::SetPriorityClass;
    using TCustomComPort::StopBits;
    using TCustomComPort::SetStopBits;
    using TCustomComPort::SynchronizeEvents;
    using TCustomComPort::SetSynchronizeEvents;
    using TCustomComPort::ThreadPriority;
    using TCustomComPort::SetThreadPriority;
    using TCustomComPort::Timeouts;

    using TCustomComPort::AfterClose;
    using TCustomComPort::SetAfterClose;
    using TCustomComPort::AfterOpen;
    using TCustomComPort::SetAfterOpen;
    using TCustomComPort::BeforeClose;
    using TCustomComPort::SetBeforeClose;
    using TCustomComPort::BeforeOpen;
    using TCustomComPort::SetBeforeOpen;
    using TCustomComPort::AfterRead;
    using TCustomComPort::SetAfterRead;
    using TCustomComPort::AfterWrite;
    using TCustomComPort::SetAfterWrite;
    using TCustomComPort::BeforeRead;
    using TCustomComPort::SetBeforeRead;
    using TCustomComPort::BeforeWrite;
    using TCustomComPort::SetBeforeWrite;
    using TCustomComPort::OnError;
    using TCustomComPort::SetOnError;
    using TCustomComPort::OnBreak;
    using TCustomComPort::SetOnBreak;
    using TCustomComPort::OnCTSChange;
    using TCustomComPort::SetOnCTSChange;
    using TCustomComPort::OnDSRChange;
    using TCustomComPort::SetOnDSRChange;
    using TCustomComPort::OnLineError;
    using TCustomComPort::SetOnLineError;
    using TCustomComPort::OnEvent1;
    using TCustomComPort::SetOnEvent1;
    using TCustomComPort::OnEvent2;
    using TCustomComPort::SetOnEvent2;
    using TCustomComPort::OnPrinterError;
    using TCustomComPort::SetOnPrinterError;
    using TCustomComPort::OnRing;
    using TCustomComPort::SetOnRing;
    using TCustomComPort::OnRLSDChange;
    using TCustomComPort::SetOnRLSDChange;
    using TCustomComPort::OnRx80PercFull;
    using TCustomComPort::SetOnRx80PercFull;
    using TCustomComPort::OnRxChar;
    using TCustomComPort::SetOnRxChar;
    using TCustomComPort::OnRxFlag;
    using TCustomComPort::SetOnRxFlag;
    using TCustomComPort::OnTxEmpty;
    using TCustomComPort::SetOnTxEmpty;
};
