// One converter as the program knows it, below the window and kvt27ctl alike: the port and the
// session on it, the identity, the settings record, the model's limits, the unit of the readings,
// the work record, the recording and the state of the link. Every operation says what happened
// and keeps the state true; the front ends ask it, show it and react to its changes.
#pragma once

#include "datalog/datalog_run.h"
#include "protocol/converter_session.h"
#include "protocol/device_settings.h"
#include "signal/config_file.h"
#include "signal/field_text.h"
#include "signal/model_options.h"
#include "signal/work_record.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TComPort;

namespace kvt {

enum class TLinkState {
    Disconnected, // no port open
    Connecting,   // the port is open, the converter not yet identified and loaded
    Connected,    // identified and loaded
};

// What changed, for those who show it.
struct TModelChange {
    enum class TKind {
        Link,     // the state of the link (State())
        Identity, // the identification values
        Settings, // the settings record
        Exchange, // a transaction ended (Exchange)
        Elapsed,  // the time of the last transaction (ElapsedMs)
        Sampling, // the recording started, stopped or took a sample
    };
    TKind Kind;
    const TExchange* Exchange = nullptr;
    int ElapsedMs = 0;
};

// The port would not open: the system's code and its reason, with a hint where one helps.
struct TOpenFailure {
    int ErrorCode = 0;
    std::string Reason;
    bool operator==(const TOpenFailure&) const = default;
};

// One measurement in engineering units.
struct TMeasured {
    uint16_t Raw = 0;
    int Value = 0;          // NormalizeValueAD: hundredths of a mV for the millivolt input
    std::string UnitSuffix; // " uA", " mV" or " %"
};

// What a word that a plan touched became.
struct TAppliedWord {
    enum class TAction { Keep, WouldWrite, Written, Unknown, NotWritten };
    TPlannedWrite Plan;
    TAction Action = TAction::Keep;
    std::optional<uint16_t> Holds; // Unknown: the word read back, when the line allowed
};

// A plan carried out: each planned word in order, and why the writing stopped early.
struct TApplyReport {
    std::vector<TAppliedWord> Words;
    TOutcome Failure;     // the write that failed (Ok when none did)
    bool Stopped = false; // asked to stop before a write
    bool PowerCycleNeeded = false;
    bool Complete() const { return Failure.Ok() && !Stopped; }
    std::vector<std::string> Names(TAppliedWord::TAction Action) const;
};

// A choice shown by the front end for a word that a button stands for (kinds, filter, reaction).
struct TShownChoices {
    std::optional<int> InputMode, OutputMode, FilterType, LimitReaction;
};

// What the write-back after a load did.
struct TWriteBack {
    TOutcome Outcome;            // the failed write, Ok otherwise
    bool Drop35mARefused = false; // the 3.5 mA reaction was read outside configuration 0: not written
};

class TConverterModel {
public:
    // With a port of its own (kvt27ctl), or the front end's (the window owns its ComPort). The
    // port gets the converter's line settings either way.
    TConverterModel();
    explicit TConverterModel(TComPort& Port);
    ~TConverterModel();
    TConverterModel(const TConverterModel&) = delete;
    TConverterModel& operator=(const TConverterModel&) = delete;

    // --- State -------------------------------------------------------------------------------
    TComPort& Port() { return FPort; }
    TLinkState State() const;
    bool Connected() const { return State() == TLinkState::Connected; }
    // The port as the user named it at the last open, and the device that opened.
    const std::string& PortText() const { return FPortText; }
    const std::string& Device() const { return FDevice; }
    // The port of the last connection that was made, as named: the one to remember.
    const std::string& ConnectedPort() const { return FConnectedPort; }

    TDeviceSettings& Settings() { return FSettings; }
    const TDeviceSettings& Settings() const { return FSettings; }
    const std::optional<int>& TemperatureC() const { return FTemperatureC; }
    // The limits of the model identified last (the KVT27's until one is).
    const int& OutCodeMax() const { return FOutCodeMax; }
    const int& BarDivisor() const { return FBarDivisor; }
    // The unit of the last conversion, as NormalizeValueAD set it.
    const std::string& UnitSuffix() const { return FUnitSuffix; }
    // A raw input reading or word in display units; sets UnitSuffix.
    int NormalizeValueAD(int Raw);
    // The input range as the numeric fields show it; sets UnitSuffix.
    TFieldTexts InputFieldTexts(std::string_view DecimalSeparator);

    // The work on this converter: as found at the first connect to it, the measurements since.
    std::optional<TWorkRecord>& WorkRecord() { return FWorkRecord; }
    TDatalogRun& Datalog() { return FDatalog; }
    const TDatalogRun& Datalog() const { return FDatalog; }
    bool Sampling() const { return FSampling; }

    // --- Changes -----------------------------------------------------------------------------
    using TObserver = std::function<void(const TModelChange&)>;
    // Returns a key for Unsubscribe.
    int Subscribe(TObserver Observer);
    void Unsubscribe(int Key);
    // Runs before every operation's requests and before each row of a load; it may throw to end
    // the operation there (kvt27ctl's stop on a signal).
    void SetStopCheck(std::function<void()> Check) { FStopCheck = std::move(Check); }
    // Seeds the station addresses (the window seeds from the clock, as the converter's program did).
    void Seed(uint64_t Value) { FSession.Seed(Value); }

    // --- Connecting ----------------------------------------------------------------------------
    // The device name for a port text ("ttyUSB0" -> /dev/ttyUSB0, a path as it stands, COM10 ->
    // \\.\COM10); empty when the text names none.
    static std::string DeviceName(const std::string& PortText);
    // Closes the port, chooses a new station address, opens PortText and clears its input.
    // Nothing when the text names no port (empty reason), or the system's reason.
    std::optional<TOpenFailure> Open(const std::string& PortText);
    // Closes the port; the state becomes Disconnected.
    void Close();
    // The identification into the record (the temperature for a KVT27); the model's limits follow.
    TResult<TIdentity> Identify();
    // A search's question (TConverterSession::Probe): the record and the state stay as they are.
    TResult<TIdentity> Probe();
    // The settings load into the record; Row(k) before each row, k = 1..18. The code fields'
    // words (the first reads of 14 and 16) come back for the front end to show. On success the
    // state becomes Connected and, unless this converter is known already, its settings as
    // found are kept.
    TResult<TLoadedWords> Load(const std::function<void(int Row)>& Row = {});
    // After a load: the words a button stands for whose shown choice differs from what was read
    // are written back, as read, in the order InputMode, OutputMode, FilterType, LimitReaction.
    TWriteBack WriteBack(const TShownChoices& Shown);

    // --- Operations on a connected converter -----------------------------------------------------
    // One word, read as the load reads each (asked once more when it does not read).
    TResult<uint16_t> ReadWord(uint8_t Address);
    // A word written. The record's copy of a kind, filter or reaction word takes the value
    // first, whatever the write does; the range words change in the record only at the next load.
    TOutcome WriteWord(uint8_t Address, uint16_t Value);
    // A calibration measurement (MeasureStoreZero, MeasureStoreEnd, MeasureOnly), noted in the
    // work record.
    TResult<TMeasured> Measure(uint32_t Parameter);
    TOutcome DriveOutput(uint16_t Code);
    TOutcome ReleaseOutput();
    // The record with the eight writable words read again (the copy may be older: a measured
    // range, a numeric entry); each word read as the load reads it.
    TResult<TDeviceSettings> ReadWritableWords();
    // Writes the words a plan marks, in order; a failed write ends it (read back when it may have
    // been stored), ShouldStop before each write ends it too. DryRun writes nothing.
    TApplyReport ApplyPlan(const std::vector<TPlannedWrite>& Plan, bool DryRun = false,
                           const std::function<bool()>& ShouldStop = {});

    // --- Recording -----------------------------------------------------------------------------
    // A new recording with the period's text; the first reading is the caller's (Sample).
    void StartSampling(const std::string& PeriodText);
    void StopSampling();
    // One reading for the recording (not noted in the work record).
    TResult<TMeasured> Sample();

private:
    TConverterModel(std::unique_ptr<TComPort> Own, TComPort* Port);
    void Notify(const TModelChange& Change);
    void NotifyKind(TModelChange::TKind Kind) { Notify({Kind}); }
    void CheckStop() const
    {
        if (FStopCheck)
            FStopCheck();
    }
    void KeepAsFound();
    void NoteMeasurement(uint32_t Parameter, const TMeasured& M);

    std::unique_ptr<TComPort> FOwnPort;
    TComPort& FPort;
    TConverterSession FSession;
    TDeviceSettings FSettings;
    std::optional<int> FTemperatureC;
    int FOutCodeMax;
    int FBarDivisor;
    std::string FUnitSuffix;
    std::string FPortText;
    std::string FDevice;
    std::string FConnectedPort;
    bool FLoaded = false;
    std::optional<TWorkRecord> FWorkRecord;
    TDatalogRun FDatalog;
    bool FSampling = false;
    std::vector<std::pair<int, TObserver>> FObservers;
    int FNextKey = 1;
    std::function<void()> FStopCheck;
};

} // namespace kvt
