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

#include "model/history.h"
#include "platform/safe_file.h"
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

// A file action needs a converter; one that writes and reloads also needs the sampling stopped,
// as the reload button does.
bool Ready(TFrmMain& W, bool Writes)
{
    if (!W.Connected()) {
        InfoBox(&W, texts::NotConnected.In(W.ChosenLang()));
        return false;
    }
    if (Writes && W.Model.Sampling()) {
        InfoBox(&W, texts::StopSamplingFirst.In(W.ChosenLang()));
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
    const TApplyReport report = W.Model.ApplyPlan(Plan);
    if (!report.Names(TAppliedWord::TAction::Written).empty() || !report.Names(TAppliedWord::TAction::Unknown).empty())
        W.KeepHistory(SettingsAfter(W.DeviceSettings, report), report.Names(TAppliedWord::TAction::Written));
    if (!report.Complete()) {
        QStringList written, unknown, notWritten;
        for (const TAppliedWord& w : report.Words) {
            const QString name = QString::fromStdString(WordName(w.Plan.Address));
            switch (w.Action) {
            case TAppliedWord::TAction::Written:
                written << name;
                break;
            case TAppliedWord::TAction::Unknown:
                unknown << name + QLatin1Char(' ') + QString::number(w.Plan.New) + QStringLiteral(" (")
                        + (w.Holds ? texts::HoldsWord.In(lang).arg(*w.Holds) : texts::NotReadBack.In(lang)) + QLatin1Char(')');
                break;
            case TAppliedWord::TAction::NotWritten:
                notWritten << name;
                break;
            default:
                break;
            }
        }
        auto list = [&](const QStringList& Names) {
            return Names.isEmpty() ? texts::NoWords.In(lang) : Names.join(QStringLiteral(", "));
        };
        QString detail = texts::WrittenWords.In(lang).arg(list(written));
        if (!unknown.isEmpty())
            detail += QLatin1Char('\n') + texts::UnknownWords.In(lang).arg(list(unknown));
        detail += QLatin1Char('\n') + texts::NotWrittenWords.In(lang).arg(list(notWritten));
        if (report.PowerCycleNeeded)
            detail += QStringLiteral("\r\r") + W.MsgPowerCycle;
        W.LinkLost(detail);
    }
    W.SpdBtnReloadClick(&W);
    // As after a numeric input range: an instruction, once the window shows the new state.
    if (report.PowerCycleNeeded && W.Connected())
        InfoBox(&W, W.MsgPowerCycle);
}

QString Reason(const std::exception& E)
{
    return FromSystemText(E.what());
}

} // namespace

bool TFrmMain::Connected() const
{
    return Model.Connected();
}

void TFrmMain::MFileSaveConfigClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, false))
        return;
    const auto name = SaveFileName(this, texts::ConfigFilter.In(lang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    TProgramSettings::SetFilesFolder(QFileInfo(*name).absolutePath());
    const std::string file = SystemFileName(*name);
    try {
        // A name that cannot be written costs no frame.
        CheckProfileTarget(file);
        const TDeviceSettings now = Need(Model.ReadWritableWords());
        const TProfile profile = SavableProfile(now);
        const std::string port = Model.PortText();
        WriteProfileFile(file, FormatProfile(profile, {"kvt27-config configuration",
            "from a " + ModelName(now.DeviceModel) + ", firmware " + FirmwareVersionText(now.FirmwareVersion) +
                ", configuration " + std::to_string(now.ConfigType) + ", on " + port}));
    } catch (const EConfigError& e) {
        ErrorBox(this, (e.Fault == TConfigFault::CannotWrite ? texts::CannotWrite : texts::CannotSaveConfig).In(lang) +
                           QStringLiteral("\r\r") + Reason(e),
                 QDir::toNativeSeparators(*name));
    }
}

void TFrmMain::MFileLoadConfigClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, true))
        return;
    const auto name = OpenFileName(this, texts::ConfigOpenFilter.In(lang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    TProgramSettings::SetFilesFolder(QFileInfo(*name).absolutePath());
    const QString shown = QDir::toNativeSeparators(*name);
    // The file is read and checked whole before the converter is asked anything.
    TProfile profile;
    try {
        profile = LoadProfile(SystemFileName(*name));
    } catch (const EConfigError& e) {
        ErrorBox(this, texts::FileRefused.In(lang) + QStringLiteral("\r\r") + Reason(e), shown);
        return;
    }
    const TDeviceSettings now = Need(Model.ReadWritableWords());
    std::vector<TPlannedWrite> plan;
    try {
        plan = PlanApply(profile, now);
    } catch (const EConfigError& e) {
        ErrorBox(this, (e.Fault == TConfigFault::Refused ? texts::ConverterRefused : texts::FileRefused).In(lang) +
                           QStringLiteral("\r\r") + Reason(e),
                 shown);
        return;
    }
    const QStringList changes = ChangeLines(plan, now, lang);
    if (changes.isEmpty()) {
        InfoBox(this, texts::NothingToLoad.In(lang));
        return;
    }
    if (!Ask(this, texts::LoadQuestion.In(lang).arg(shown), changes.join(QLatin1Char('\n'))))
        return;
    WriteAndReload(*this, plan);
}

void TFrmMain::MFileRestoreClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, true) || !WorkRecord)
        return;
    const TDeviceSettings now = Need(Model.ReadWritableWords());
    const std::vector<TPlannedWrite> plan = PlanRestore(WorkRecord->AsFound, now);
    // The rules of a configuration hold here too (the DIP switches may have moved since).
    for (const TPlannedWrite& w : plan) {
        std::string why;
        if (w.Write && CheckWordValue(w.Address, w.New, now, why) != TValueCheck::Ok) {
            ErrorBox(this, texts::ConverterRefused.In(lang) + QStringLiteral("\r\r") + QString::fromStdString(why));
            return;
        }
    }
    const QStringList changes = ChangeLines(plan, now, lang);
    if (changes.isEmpty()) {
        InfoBox(this, texts::NothingToRestore.In(lang));
        return;
    }
    if (!Ask(this, texts::RestoreQuestion.In(lang), changes.join(QLatin1Char('\n'))))
        return;
    WriteAndReload(*this, plan);
}

void TFrmMain::MFileExportRecordClick(QObject*)
{
    const int lang = ChosenLang();
    if (!Ready(*this, false) || !WorkRecord)
        return;
    const auto name = SaveFileName(this, texts::RecordFilter.In(lang), TProgramSettings::FilesFolder());
    if (!name)
        return;
    TProgramSettings::SetFilesFolder(QFileInfo(*name).absolutePath());
    const std::string file = SystemFileName(*name);
    try {
        CheckSafeTarget(file);
        TWorkRecord record = *WorkRecord;
        record.AsLeft = Need(Model.ReadWritableWords());
        record.Time = std::chrono::system_clock::now();
        record.Tag = HistoryTag();
        const QByteArray pdf = WorkRecordPdf(record, lang);
        WriteFileSafely(file, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
        KeepHistory(record.AsLeft, {}, file);
    } catch (const EFileError& e) {
        ErrorBox(this, texts::CannotWrite.In(lang) + QStringLiteral("\r\r") + FromSystemText(e.Reason),
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
