#include "ui/historydialog.h"

#include "model/history.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"
#include "ui/uiseam.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

namespace texts {
constexpr TLangText Title{"Historie převodníku", "Converter history"};
constexpr TLangText Tag{"Označení:", "Tag:"};
constexpr TLangText Place{"Zákazník / místo:", "Customer / place:"};
constexpr TLangText Note{"Poznámka:", "Note:"};
constexpr TLangText Save{"Uložit", "Save"};
constexpr TLangText Close{"Zavřít", "Close"};
constexpr TLangText Empty{"Historie zatím nemá žádný záznam.", "The history has no session yet."};
constexpr TLangText Written{"zapsáno: %1", "written: %1"};
constexpr TLangText Changes{"při převzetí -> při předání: %1", "as found -> as left: %1"};
constexpr TLangText NoChange{"beze změny", "no change"};
constexpr TLangText Nothing{"nic", "nothing"};
constexpr TLangText Record{"protokol: %1 (SHA-256 %2)", "record: %1 (SHA-256 %2)"};
constexpr TLangText CannotKeep{"Historii převodníku nelze zapsat:", "The converter's history cannot be written:"};
} // namespace texts

QString Q(const std::string& Text)
{
    return QString::fromStdString(Text);
}

} // namespace

THistoryDialog::THistoryDialog(TFrmMain& Main) : QDialog(&Main), FMain(Main)
{
    setObjectName(QStringLiteral("FrmHistory"));
    setModal(false);
    resize(560, 420);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto edit = [&](const char* Name, const char* Label) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(Name));
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(Label));
        form->addRow(l, e);
        return e;
    };
    EdtHistoryTag = edit("EdtHistoryTag", "LblHistoryTag");
    EdtHistoryPlace = edit("EdtHistoryPlace", "LblHistoryPlace");
    EdtHistoryNote = edit("EdtHistoryNote", "LblHistoryNote");
    layout->addLayout(form);
    MemoHistory = new QPlainTextEdit(this);
    MemoHistory->setObjectName(QStringLiteral("MemoHistory"));
    MemoHistory->setReadOnly(true);
    MemoHistory->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(MemoHistory);
    auto* buttons = new QHBoxLayout;
    BtnHistorySave = new QPushButton(this);
    BtnHistorySave->setObjectName(QStringLiteral("BtnHistorySave"));
    BtnHistoryClose = new QPushButton(this);
    BtnHistoryClose->setObjectName(QStringLiteral("BtnHistoryClose"));
    BtnHistoryClose->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(BtnHistorySave);
    buttons->addWidget(BtnHistoryClose);
    layout->addLayout(buttons);
    connect(BtnHistorySave, &QPushButton::clicked, this, [this] { RunHandler([this] { BtnHistorySaveClick(); }); });
    connect(BtnHistoryClose, &QPushButton::clicked, this, [this] { close(); });
    SetLang(FMain.ChosenLang());
}

void THistoryDialog::SetLang(int Lang)
{
    FLang = Lang;
    setWindowTitle(texts::Title.In(Lang));
    findChild<QLabel*>(QStringLiteral("LblHistoryTag"))->setText(texts::Tag.In(Lang));
    findChild<QLabel*>(QStringLiteral("LblHistoryPlace"))->setText(texts::Place.In(Lang));
    findChild<QLabel*>(QStringLiteral("LblHistoryNote"))->setText(texts::Note.In(Lang));
    BtnHistorySave->setText(texts::Save.In(Lang));
    BtnHistoryClose->setText(texts::Close.In(Lang));
}

void THistoryDialog::Refresh()
{
    THistory h;
    try {
        h = THistoryStore().Read(TFingerprint::Of(FMain.DeviceSettings));
    } catch (const EFileError& e) {
        MemoHistory->setPlainText(Q(e.what()));
        return;
    }
    EdtHistoryTag->setText(Q(h.Labels.Tag));
    EdtHistoryPlace->setText(Q(h.Labels.Place));
    EdtHistoryNote->setText(Q(h.Labels.Note));
    QStringList lines;
    lines << Q(h.Fingerprint.Text()) << QString();
    for (const std::string& p : h.Problems)
        lines << Q(p);
    if (h.Entries.empty())
        lines << texts::Empty.In(FLang);
    for (const THistoryEntry& e : h.Entries) {
        QString head = Q(UtcTimeText(e.Time)) + QStringLiteral("  ") + Q(e.Port) + QStringLiteral("  ") + Q(e.Program);
        if (!e.Labels.Tag.empty())
            head += QStringLiteral("  ") + Q(e.Labels.Tag);
        lines << head;
        QStringList written;
        for (const std::string& w : e.Written)
            written << Q(w);
        lines << QStringLiteral("    ") + texts::Written.In(FLang).arg(written.isEmpty() ? texts::Nothing.In(FLang) : written.join(QStringLiteral(", ")));
        const std::vector<TWordChange> changes = WordChanges(e.AsFound, e.AsLeft);
        lines << QStringLiteral("    ") + texts::Changes.In(FLang).arg(changes.empty() ? texts::NoChange.In(FLang) : Q(ChangesText(changes)));
        if (!e.RecordFile.empty())
            lines << QStringLiteral("    ") + texts::Record.In(FLang).arg(Q(e.RecordFile), Q(e.RecordSha256));
    }
    MemoHistory->setPlainText(lines.join(QLatin1Char('\n')));
}

void THistoryDialog::BtnHistorySaveClick()
{
    try {
        THistoryStore().SetLabels(TFingerprint::Of(FMain.DeviceSettings),
                                  {EdtHistoryTag->text().trimmed().toStdString(), EdtHistoryPlace->text().trimmed().toStdString(),
                                   EdtHistoryNote->text().trimmed().toStdString()});
    } catch (const EFileError& e) {
        ErrorBox(this, texts::CannotKeep.In(FLang), Q(e.what()));
        return;
    }
    Refresh();
}

} // namespace kvt::ui
