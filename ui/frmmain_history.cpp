// The converter's history in the window: what it says at connect, and the sessions kept in it.
#include "ui/frmmain.h"

#include "model/history.h"
#include "ui/historydialog.h"
#include "ui/technician_texts.h"
#include "platform/sha256.h"
#include "ui/uiseam.h"

namespace kvt::ui {

namespace {

namespace historytexts {
constexpr TLangText LastSeen{"Naposledy připojen %1", "Last seen %1"};
constexpr TLangText As{" jako %1", " as %1"};
constexpr TLangText Since{"; od té doby %1", "; since then %1"};
constexpr TLangText NoChange{"; od té doby beze změny", "; nothing changed since"};
constexpr TLangText CannotRead{"Historii převodníku nelze přečíst:", "The converter's history cannot be read:"};
constexpr TLangText CannotKeep{"Relaci nelze zapsat do historie převodníku:", "This session cannot be kept in the converter's history:"};
} // namespace historytexts

} // namespace

void TFrmMain::ShowHistory()
{
    const TFingerprint f = TFingerprint::Of(DeviceSettings);
    // A reload of the same converter has been told already.
    if (!Connected() || FHistoryShown == f.Text())
        return;
    FHistoryShown = f.Text();
    const int lang = ChosenLang();
    THistory h;
    try {
        h = THistoryStore().Read(f);
    } catch (const EFileError& e) {
        WarningBox(this, historytexts::CannotRead.In(lang) + QStringLiteral("\r\r") + QString::fromStdString(e.what()));
        return;
    }
    QString text;
    if (const std::optional<TLastSeen> seen = LastSeen(h, DeviceSettings)) {
        text = historytexts::LastSeen.In(lang).arg(QString::fromStdString(LocalDateText(seen->Time)));
        if (!seen->Tag.empty())
            text += historytexts::As.In(lang).arg(QString::fromStdString(seen->Tag));
        text += seen->Changes.empty() ? historytexts::NoChange.In(lang)
                                      : historytexts::Since.In(lang).arg(QString::fromStdString(ChangesText(seen->Changes)));
    }
    for (const std::string& p : h.Problems)
        text += (text.isEmpty() ? QString() : QStringLiteral("\r\r")) + QString::fromStdString(p);
    if (!text.isEmpty())
        InfoBox(this, text);
}

void TFrmMain::MFileHistoryClick(QObject*)
{
    if (!Connected()) {
        InfoBox(this, kvt::ui::texts::NotConnected.In(ChosenLang()));
        return;
    }
    if (FrmHistory == nullptr)
        FrmHistory = new THistoryDialog(*this);
    FrmHistory->SetLang(ChosenLang());
    FrmHistory->Refresh();
    FrmHistory->show();
    FrmHistory->raise();
}

void TFrmMain::KeepJobHistory(const TJobSession& Session)
{
    try {
        THistoryStore store;
        AppendJobSession(store, Session, "kvt27-config job");
    } catch (const EFileError& e) {
        WarningBox(this, historytexts::CannotKeep.In(ChosenLang()) + QStringLiteral("\r\r") + QString::fromStdString(e.what()));
    }
}

std::string TFrmMain::HistoryTag()
{
    try {
        return THistoryStore().Read(TFingerprint::Of(DeviceSettings)).Labels.Tag;
    } catch (const EFileError&) {
        return {};
    }
}

void TFrmMain::KeepHistory(const TDeviceSettings& AsLeft, const std::vector<std::string>& Written, const std::string& RecordFile)
{
    try {
        const THistoryStore store;
        const TFingerprint f = TFingerprint::Of(DeviceSettings);
        THistoryEntry e = SessionEntry(Model, AsLeft, "kvt27-config");
        e.Labels = store.Read(f).Labels;
        e.Written = Written;
        if (!RecordFile.empty()) {
            e.RecordFile = RecordFile;
            e.RecordSha256 = Sha256OfFile(RecordFile);
        }
        THistoryStore().Append(f, e);
    } catch (const EFileError& e) {
        WarningBox(this, historytexts::CannotKeep.In(ChosenLang()) + QStringLiteral("\r\r") + QString::fromStdString(e.what()));
    }
}

} // namespace kvt::ui
