// The technician's files: a configuration saved and loaded in kvt27ctl's format and by its rules,
// the settings as found given back, the work record as a PDF; and the line's log window. Each
// sends frames only when the user asks, and reads the converter's words afresh before it uses them.
#include "ui/frmmain.h"

#include "ui/linelogwindow.h"
#include "ui/settings.h"
#include "ui/technician_text.h"
#include "ui/technician_texts.h"
#include "ui/uiseam.h"
#include "ui/workrecord_pdf.h"

#include "datalog/safe_file.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"
#include "signal/config_error.h"
#include "signal/config_file.h"
#include "signal/config_rules.h"
#include "signal/numeric_entry.h"
#include "signal/signal_kind.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::ui {

namespace {

QString T(const TLangText& Text, int Lang)
{
    return QString::fromUtf8(Text.In(Lang));
}

// The writable words, read in address order.
constexpr uint8_t WritableWords[] = {WordInputMode, WordOutputMode, WordFilterType, WordInZero,
                                     WordInEnd,     WordOutZero,    WordOutEnd,     WordLimitReaction};

// The calibration measurements a record keeps; far more than a day's work.
constexpr std::size_t MeasurementsKept = 10000;

// A file action needs a converter; one that writes and reloads also needs the sampling stopped,
// as the reload button does.
bool Ready(TFrmMain& W, bool Writes)
{
    if (!W.Connected()) {
        InfoBox(&W, T(texts::NotConnected, W.ChosenLang()));
        return false;
    }
    if (Writes && W.TmrDatalog->Enabled()) {
        InfoBox(&W, T(texts::StopSamplingFirst, W.ChosenLang()));
        return false;
    }
    return true;
}

// Writes the planned words in order, then shows the converter's new state with a reload. The
// first failed write ends it as any failed transaction does, and the box says which words were
// written, which may have been (read back when the line allows) and which were not.
void WriteAndReload(TFrmMain& W, const std::vector<TPlannedWrite>& Plan)
{
    const int lang = W.ChosenLang();
    const bool powerCycle = NeedsPowerCycle(W.DeviceSettings.FirmwareVersion);
    bool inputRange = false;
    QStringList written;
    for (std::size_t i = 0; i < Plan.size(); ++i) {
        const TPlannedWrite& w = Plan[i];
        if (!w.Write)
            continue;
        const bool rangeWord = w.Address == WordInZero || w.Address == WordInEnd;
        const QString name = QString::fromStdString(WordName(w.Address));
        const TConverterSession::TWordWrite r = W.Session.WriteWordOrReadBack(w.Address, static_cast<uint16_t>(w.New));
        if (!r.Ok()) {
            QStringList unknown, notWritten;
            if (r.Unknown()) {
                unknown << name + QLatin1Char(' ') + QString::number(w.New) + QStringLiteral(" (")
                        + (r.Holds ? T(texts::HoldsWord, lang).arg(*r.Holds) : T(texts::NotReadBack, lang)) + QLatin1Char(')');
                inputRange = inputRange || (rangeWord && (!r.Holds || *r.Holds == w.New));
            } else {
                notWritten << name;
            }
            for (std::size_t j = i + 1; j < Plan.size(); ++j)
                if (Plan[j].Write)
                    notWritten << QString::fromStdString(WordName(Plan[j].Address));
            auto list = [&](const QStringList& Names) {
                return Names.isEmpty() ? T(texts::NoWords, lang) : Names.join(QStringLiteral(", "));
            };
            QString detail = T(texts::WrittenWords, lang).arg(list(written));
            if (!unknown.isEmpty())
                detail += QLatin1Char('\n') + T(texts::UnknownWords, lang).arg(list(unknown));
            detail += QLatin1Char('\n') + T(texts::NotWrittenWords, lang).arg(list(notWritten));
            if (inputRange && powerCycle)
                detail += QStringLiteral("\r\r") + W.MsgPowerCycle;
            W.LinkLost(detail);
        }
        written << name;
        inputRange = inputRange || rangeWord;
    }
    W.SpdBtnReloadClick(&W);
    // As after a numeric input range: an instruction, once the window shows the new state.
    if (inputRange && W.Connected() && powerCycle)
        InfoBox(&W, W.MsgPowerCycle);
}

QString Reason(const std::exception& E)
{
    return FromSystemText(E.what());
}

} // namespace

bool TFrmMain::Connected() const
{
    return ComPort.Active() && !PanelConfig->isHidden();
}

void TFrmMain::KeepAsFound()
{
    if (!WorkRecord || !SameConverter(WorkRecord->AsFound, DeviceSettings)) {
        WorkRecord = TWorkRecord{};
        WorkRecord->AsFound = DeviceSettings;
    }
    WorkRecord->Port = CmbBxPort->currentText().toStdString();
    WorkRecord->TemperatureC = TemperatureC;
}

void TFrmMain::NoteMeasurement(uint32_t Parameter, uint16_t Raw, int Value)
{
    if (!WorkRecord)
        return;
    TRecordMeasurement m;
    m.Time = std::chrono::system_clock::now();
    m.Parameter = Parameter;
    m.Raw = Raw;
    m.Value = Value;
    m.Unit = UnitSuffix.size() > 1 ? UnitSuffix.substr(1) : UnitSuffix;
    m.Millivolt = IsMillivoltInput(DeviceSettings.ConfigType, DeviceSettings.InputMode);
    std::vector<TRecordMeasurement>& all = WorkRecord->Measurements;
    if (all.size() >= MeasurementsKept)
        all.erase(all.begin());
    all.push_back(m);
}

TDeviceSettings TFrmMain::ReadWordsNow()
{
    TDeviceSettings s = DeviceSettings;
    for (const uint8_t address : WritableWords) {
        const TResult<uint16_t> r = Session.ReadWordRetried(address);
        if (!r.Ok())
            LinkLost();
        s.*(FindSettingsWord(address)->Field) = r.Value;
    }
    return s;
}

void TFrmMain::MFileSaveConfigClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, false))
        return;
    const auto name = SaveFileName(this, T(texts::ConfigFilter, lang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    TProgramSettings::SetFilesFolder(QFileInfo(*name).absolutePath());
    const std::string file = SystemFileName(*name);
    try {
        // A name that cannot be written costs no frame.
        CheckProfileTarget(file);
        const TDeviceSettings now = ReadWordsNow();
        const TProfile profile = SavableProfile(now);
        const std::string port = CmbBxPort->currentText().toStdString();
        WriteProfileFile(file, FormatProfile(profile, {"kvt27-config configuration",
            "from a " + ModelName(now.DeviceModel) + ", firmware " + FirmwareVersionText(now.FirmwareVersion) +
                ", configuration " + std::to_string(now.ConfigType) + ", on " + port}));
    } catch (const EConfigError& e) {
        ErrorBox(this, T(e.Fault == TConfigFault::CannotWrite ? texts::CannotWrite : texts::CannotSaveConfig, lang) +
                           QStringLiteral("\r\r") + Reason(e),
                 QDir::toNativeSeparators(*name));
    }
}

void TFrmMain::MFileLoadConfigClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, true))
        return;
    const auto name = OpenFileName(this, T(texts::ConfigOpenFilter, lang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    TProgramSettings::SetFilesFolder(QFileInfo(*name).absolutePath());
    const QString shown = QDir::toNativeSeparators(*name);
    // The file is read and checked whole before the converter is asked anything.
    TProfile profile;
    try {
        profile = LoadProfile(SystemFileName(*name));
    } catch (const EConfigError& e) {
        ErrorBox(this, T(texts::FileRefused, lang) + QStringLiteral("\r\r") + Reason(e), shown);
        return;
    }
    const TDeviceSettings now = ReadWordsNow();
    std::vector<TPlannedWrite> plan;
    try {
        plan = PlanApply(profile, now);
    } catch (const EConfigError& e) {
        ErrorBox(this, T(e.Fault == TConfigFault::Refused ? texts::ConverterRefused : texts::FileRefused, lang) +
                           QStringLiteral("\r\r") + Reason(e),
                 shown);
        return;
    }
    const QStringList changes = ChangeLines(plan, now, lang);
    if (changes.isEmpty()) {
        InfoBox(this, T(texts::NothingToLoad, lang));
        return;
    }
    if (!Ask(this, T(texts::LoadQuestion, lang).arg(shown), changes.join(QLatin1Char('\n'))))
        return;
    WriteAndReload(*this, plan);
}

void TFrmMain::MFileRestoreClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, true) || !WorkRecord)
        return;
    const TDeviceSettings now = ReadWordsNow();
    const std::vector<TPlannedWrite> plan = PlanRestore(WorkRecord->AsFound, now);
    // The rules of a configuration hold here too (the DIP switches may have moved since).
    for (const TPlannedWrite& w : plan) {
        std::string why;
        if (w.Write && CheckWordValue(w.Address, w.New, now, why) != TValueCheck::vcOk) {
            ErrorBox(this, T(texts::ConverterRefused, lang) + QStringLiteral("\r\r") + QString::fromStdString(why));
            return;
        }
    }
    const QStringList changes = ChangeLines(plan, now, lang);
    if (changes.isEmpty()) {
        InfoBox(this, T(texts::NothingToRestore, lang));
        return;
    }
    if (!Ask(this, T(texts::RestoreQuestion, lang), changes.join(QLatin1Char('\n'))))
        return;
    WriteAndReload(*this, plan);
}

void TFrmMain::MFileExportRecordClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, false) || !WorkRecord)
        return;
    const auto name = SaveFileName(this, T(texts::RecordFilter, lang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    TProgramSettings::SetFilesFolder(QFileInfo(*name).absolutePath());
    const std::string file = SystemFileName(*name);
    try {
        CheckSafeTarget(file);
        TWorkRecord record = *WorkRecord;
        record.AsLeft = ReadWordsNow();
        record.Time = std::chrono::system_clock::now();
        const QByteArray pdf = WorkRecordPdf(record, lang);
        WriteFileSafely(file, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
    } catch (const EFileError& e) {
        ErrorBox(this, T(texts::CannotWrite, lang) + QStringLiteral("\r\r") + FromSystemText(e.Reason),
                 QDir::toNativeSeparators(*name));
    }
}

void TFrmMain::MCommLogClick(QObject*)
{
    if (FrmLineLog == nullptr)
        FrmLineLog = new TLineLogWindow(LineLog, LineLogCapacity * 3, this);
    FrmLineLog->SetLang(ChosenLang());
    // An open one comes to the front.
    if (FrmLineLog->isVisible()) {
        FrmLineLog->raise();
        FrmLineLog->activateWindow();
    }
    FrmLineLog->show();
}

} // namespace kvt::ui
