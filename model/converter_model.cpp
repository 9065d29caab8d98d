#include "model/converter_model.h"

#include "protocol/identity.h"
#include "protocol/line_settings.h"
#include "protocol/word_names.h"
#include "serial/comport.h"
#include "serial/port_access.h"
#include "signal/conversion.h"
#include "signal/numeric_entry.h"

#include <chrono>

namespace kvt {

namespace {

// The calibration measurements a record keeps; far more than a day's work.
constexpr std::size_t MeasurementsKept = 10000;

// The writable words, read in address order.
constexpr uint8_t WritableWords[] = {WordInputMode, WordOutputMode, WordFilterType, WordInZero,
                                     WordInEnd,     WordOutZero,    WordOutEnd,     WordLimitReaction};

bool InputRangeWord(uint8_t Address)
{
    return Address == WordInZero || Address == WordInEnd;
}

// The words whose copy a write changes at once: the ones a button stands for.
int* ChoiceCopy(TDeviceSettings& S, uint8_t Address)
{
    switch (Address) {
    case WordInputMode:
        return &S.InputMode;
    case WordOutputMode:
        return &S.OutputMode;
    case WordFilterType:
        return &S.FilterType;
    case WordLimitReaction:
        return &S.LimitReaction;
    default:
        return nullptr;
    }
}

} // namespace

std::vector<std::string> TApplyReport::Names(TAppliedWord::TAction Action) const
{
    std::vector<std::string> names;
    for (const TAppliedWord& w : Words)
        if (w.Action == Action)
            names.push_back(WordName(w.Plan.Address));
    return names;
}

TConverterModel::TConverterModel() : TConverterModel(std::make_unique<TComPort>(), nullptr) {}

TConverterModel::TConverterModel(TComPort& Port) : TConverterModel(nullptr, &Port) {}

TConverterModel::TConverterModel(std::unique_ptr<TComPort> Own, TComPort* Port)
    : FOwnPort(std::move(Own)),
      FPort(Port != nullptr ? *Port : *FOwnPort),
      FSession(FPort, [this](int Ms) { Notify({TModelChange::TKind::Elapsed, nullptr, Ms}); }),
      FOutCodeMax(ModelOptions(ModelKVT27)->OutCodeMax),
      FBarDivisor(DefaultBarDivisor)
{
    ApplyConverterLineSettings(FPort);
    FSession.SetObserver([this](const TExchange& X) { Notify({TModelChange::TKind::Exchange, &X}); });
}

TConverterModel::~TConverterModel()
{
    if (FOwnPort) {
        try {
            FPort.SetActive(false);
        } catch (...) {
        }
    }
}

TLinkState TConverterModel::State() const
{
    if (!FPort.Active())
        return TLinkState::Disconnected;
    return FLoaded ? TLinkState::Connected : TLinkState::Connecting;
}

int TConverterModel::NormalizeValueAD(int Raw)
{
    return kvt::NormalizeValueAD(FSettings, Raw, FUnitSuffix);
}

TFieldTexts TConverterModel::InputFieldTexts(std::string_view DecimalSeparator)
{
    return kvt::InputFieldTexts(FSettings, FUnitSuffix, DecimalSeparator);
}

int TConverterModel::Subscribe(TObserver Observer)
{
    FObservers.emplace_back(FNextKey, std::move(Observer));
    return FNextKey++;
}

void TConverterModel::Unsubscribe(int Key)
{
    std::erase_if(FObservers, [Key](const auto& O) { return O.first == Key; });
}

void TConverterModel::Notify(const TModelChange& Change)
{
    for (const auto& [key, observer] : FObservers)
        observer(Change);
}

std::string TConverterModel::DeviceName(const std::string& PortText)
{
    return PortDeviceName(PortText);
}

std::optional<TOpenFailure> TConverterModel::Open(const std::string& PortText)
{
    CheckStop();
    // The port is closed before it is renamed: a port stays open across a reload.
    Close();
    FSettings.StationAddress = FSession.NewStationAddress();
    FPortText = PortText;
    FDevice = DeviceName(PortText);
    if (FDevice.empty())
        return TOpenFailure{};
    try {
        FPort.SetDeviceName(FDevice);
        FPort.SetActive(true);
        // A late reply from an earlier use of the line must not pass for the identification.
        FPort.PurgeInput();
    } catch (const EComError& e) {
        try {
            FPort.SetActive(false);
        } catch (const EComError&) {
        }
        return TOpenFailure{e.ErrorCode(), PortOpenFailureDetail(e.ErrorCode(), e.what(), PortAccessGroup(FDevice))};
    }
    NotifyKind(TModelChange::TKind::Link);
    return std::nullopt;
}

void TConverterModel::Close()
{
    const bool was = FPort.Active();
    FLoaded = false;
    FSampling = false;
    FPort.SetActive(false);
    if (was)
        NotifyKind(TModelChange::TKind::Link);
}

TResult<TIdentity> TConverterModel::Identify()
{
    CheckStop();
    FLoaded = false;
    FTemperatureC.reset();
    const TResult<TIdentity> r = FSession.Identify();
    const TIdentity& id = r.Value;
    if (id.DeviceModel)
        FSettings.DeviceModel = *id.DeviceModel;
    if (id.FirmwareVersion)
        FSettings.FirmwareVersion = *id.FirmwareVersion;
    if (id.TemperatureRaw)
        FTemperatureC = TemperatureCelsius(*id.TemperatureRaw);
    if (id.ConfigType)
        FSettings.ConfigType = *id.ConfigType;
    if (r.Ok()) {
        if (const TModelOptions* o = ModelOptions(FSettings.DeviceModel)) {
            FOutCodeMax = o->OutCodeMax;
            FBarDivisor = o->BarDivisor;
        }
    }
    NotifyKind(TModelChange::TKind::Identity);
    return r;
}

TResult<TIdentity> TConverterModel::Probe()
{
    CheckStop();
    return FSession.Probe();
}

TResult<TLoadedWords> TConverterModel::Load(const std::function<void(int Row)>& Row)
{
    CheckStop();
    const TResult<TLoadedWords> r = FSession.LoadSettings([&](int K) {
        CheckStop();
        if (Row)
            Row(K);
    });
    // Nothing that was not read from this converter goes into the record.
    if (!r.Ok())
        return r;
    r.Value.ApplyTo(FSettings);
    FLoaded = FPort.Active();
    if (FLoaded) {
        FConnectedPort = FPortText;
        KeepAsFound();
    }
    NotifyKind(TModelChange::TKind::Settings);
    NotifyKind(TModelChange::TKind::Link);
    return r;
}

TWriteBack TConverterModel::WriteBack(const TShownChoices& Shown)
{
    TWriteBack w;
    const TDeviceSettings& s = FSettings;
    // The values a button stands for; another value shows no choice and writes nothing.
    const struct {
        uint8_t Address;
        int Read;
        const std::optional<int>& Shown;
        int Low, High;
    } words[] = {{WordInputMode, s.InputMode, Shown.InputMode, InputModeCurrent, InputModePercent},
                 {WordOutputMode, s.OutputMode, Shown.OutputMode, OutputModeCurrent, OutputModeVoltage},
                 {WordFilterType, s.FilterType, Shown.FilterType, 0, 2},
                 {WordLimitReaction, s.LimitReaction, Shown.LimitReaction, 0, 3}};
    for (const auto& word : words) {
        if (word.Read < word.Low || word.Read > word.High || word.Shown == word.Read)
            continue;
        if (word.Address == WordLimitReaction && word.Read == 3 && !Drop35mAAllowed(s.ConfigType)) {
            w.Drop35mARefused = true;
            continue;
        }
        w.Outcome = WriteWord(word.Address, static_cast<uint16_t>(word.Read));
        if (!w.Outcome.Ok())
            break;
    }
    return w;
}

TResult<uint16_t> TConverterModel::ReadWord(uint8_t Address)
{
    CheckStop();
    return FSession.ReadWordRetried(Address);
}

TOutcome TConverterModel::WriteWord(uint8_t Address, uint16_t Value)
{
    CheckStop();
    if (int* copy = ChoiceCopy(FSettings, Address)) {
        *copy = Value;
        NotifyKind(TModelChange::TKind::Settings);
    }
    return FSession.WriteWord(Address, Value);
}

void TConverterModel::NoteMeasurement(uint32_t Parameter, const TMeasured& M)
{
    if (!FWorkRecord)
        return;
    TRecordMeasurement m;
    m.Time = std::chrono::system_clock::now();
    m.Parameter = Parameter;
    m.Raw = M.Raw;
    m.Value = M.Value;
    m.Unit = M.UnitSuffix.size() > 1 ? M.UnitSuffix.substr(1) : M.UnitSuffix;
    m.Millivolt = IsMillivoltInput(FSettings.ConfigType, FSettings.InputMode);
    std::vector<TRecordMeasurement>& all = FWorkRecord->Measurements;
    if (all.size() >= MeasurementsKept)
        all.erase(all.begin());
    all.push_back(m);
}

TResult<TMeasured> TConverterModel::Measure(uint32_t Parameter)
{
    CheckStop();
    const TResult<uint16_t> r = FSession.Measure(Parameter);
    if (!r.Ok())
        return {r.Outcome, {}};
    TMeasured m{r.Value, NormalizeValueAD(r.Value), FUnitSuffix};
    NoteMeasurement(Parameter, m);
    return {r.Outcome, m};
}

TOutcome TConverterModel::DriveOutput(uint16_t Code)
{
    CheckStop();
    return FSession.DriveOutput(Code);
}

TOutcome TConverterModel::ReleaseOutput()
{
    return FSession.ReleaseOutput();
}

TResult<TDeviceSettings> TConverterModel::ReadWritableWords()
{
    TResult<TDeviceSettings> r{{}, FSettings};
    for (const uint8_t address : WritableWords) {
        CheckStop();
        const TResult<uint16_t> word = FSession.ReadWordRetried(address);
        if (!word.Ok()) {
            r.Outcome = word.Outcome;
            return r;
        }
        r.Value.*(FindSettingsWord(address)->Field) = word.Value;
    }
    return r;
}

TApplyReport TConverterModel::ApplyPlan(const std::vector<TPlannedWrite>& Plan, bool DryRun,
                                        const std::function<bool()>& ShouldStop)
{
    TApplyReport report;
    bool ended = false;
    bool inputRange = false;
    for (const TPlannedWrite& p : Plan) {
        TAppliedWord w{p, TAppliedWord::TAction::Keep, std::nullopt};
        if (!p.Write) {
            w.Action = TAppliedWord::TAction::Keep;
        } else if (DryRun) {
            w.Action = TAppliedWord::TAction::WouldWrite;
        } else if (ended || (ShouldStop && ShouldStop())) {
            report.Stopped = report.Stopped || !ended;
            ended = true;
            w.Action = TAppliedWord::TAction::NotWritten;
        } else {
            const TConverterSession::TWordWrite r = FSession.WriteWordOrReadBack(p.Address, static_cast<uint16_t>(p.New));
            if (r.Ok()) {
                w.Action = TAppliedWord::TAction::Written;
                inputRange = inputRange || InputRangeWord(p.Address);
            } else {
                ended = true;
                report.Failure = r.Outcome;
                w.Action = r.Unknown() ? TAppliedWord::TAction::Unknown : TAppliedWord::TAction::NotWritten;
                w.Holds = r.Holds;
                inputRange = inputRange || (r.Unknown() && InputRangeWord(p.Address) && (!r.Holds || *r.Holds == p.New));
            }
        }
        report.Words.push_back(w);
    }
    report.PowerCycleNeeded = inputRange && NeedsPowerCycle(FSettings.FirmwareVersion);
    if (!DryRun)
        NotifyKind(TModelChange::TKind::Settings);
    return report;
}

void TConverterModel::KeepAsFound()
{
    if (!FWorkRecord || !SameConverter(FWorkRecord->AsFound, FSettings)) {
        FWorkRecord = TWorkRecord{};
        FWorkRecord->AsFound = FSettings;
    }
    FWorkRecord->Port = FPortText;
    FWorkRecord->TemperatureC = FTemperatureC;
}

void TConverterModel::StartSampling(const std::string& PeriodText)
{
    FDatalog.Start(PeriodText);
    FSampling = true;
    NotifyKind(TModelChange::TKind::Sampling);
}

void TConverterModel::StopSampling()
{
    if (!FSampling)
        return;
    FSampling = false;
    NotifyKind(TModelChange::TKind::Sampling);
}

TResult<TMeasured> TConverterModel::Sample()
{
    CheckStop();
    const TResult<uint16_t> r = FSession.Measure(MeasureOnly);
    if (!r.Ok())
        return {r.Outcome, {}};
    return {r.Outcome, TMeasured{r.Value, NormalizeValueAD(r.Value), FUnitSuffix}};
}

} // namespace kvt
