// The converter's history in the window: at the next connect it says when the converter was last
// seen, as what, and what changed since; the record's tag; another model starts a history of its own.
#include "window_fixture.h"

#include "model/history.h"
#include "platform/sha256.h"
#include "protocol/device_settings.h"
#include "ui/historydialog.h"
#include "ui/workrecord_pdf.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <QRadioButton>
#include <QTemporaryDir>

#include <cstdlib>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

class WindowHistory : public TWindowTest {
protected:
    THistory Register()
    {
        return THistoryStore().Read(TFingerprint::Of(Window().DeviceSettings));
    }
};

} // namespace

TEST_F(WindowHistory, TwoSessionsWithAChangeBetweenThem)
{
    QTemporaryDir dir(QStringLiteral("/tmp/kvt-window-hist-XXXXXX"));
    const QString pdf = dir.filePath(QStringLiteral("first.pdf"));
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    EXPECT_TRUE(Boxes().empty()) << "nothing is known of a new converter";
    THistoryStore().SetLabels(TFingerprint::Of(Window().DeviceSettings), {"FT-101", "Plant 3", ""});
    Seam().SaveAnswers = {pdf};
    Choose("MFileExportRecord");
    ASSERT_TRUE(Boxes().empty()) << BoxTexts().front().toStdString();
    THistory h = Register();
    ASSERT_EQ(h.Entries.size(), 1u);
    EXPECT_EQ(h.Entries[0].RecordFile, pdf.toStdString());
    EXPECT_EQ(h.Entries[0].RecordSha256, Sha256OfFile(pdf.toStdString()));
    EXPECT_EQ(h.Entries[0].Labels.Tag, "FT-101");
    Choose("MCommEnd");

    // Meanwhile the range end was changed elsewhere; the next connect tells it, in the window's language.
    Sim().SetWord(WordInEnd, 61990);
    Choose("MLangEN");
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Information);
    const QString date = QString::fromStdString(LocalDateText(h.Entries[0].Time));
    EXPECT_EQ(Boxes()[0].Text, QStringLiteral("Last seen ") + date + QStringLiteral(" as FT-101; since then InEnd 62000 -> 61990"));
    // A reload tells nothing again.
    Click(Window().SpdBtnReload);
    EXPECT_EQ(Boxes().size(), 1u);
    // A change written from the window is a session of its own.
    Click(Window().RdBtnFilt1);
    Seam().SaveAnswers = {dir.filePath(QStringLiteral("second.pdf"))};
    Choose("MFileExportRecord");
    h = Register();
    ASSERT_EQ(h.Entries.size(), 2u);
    // The window's settings as found stay those of its first connect to this converter.
    EXPECT_EQ(WordChanges(h.Entries[1].AsFound, h.Entries[1].AsLeft),
              (std::vector<TWordChange>{{"FilterType", 0, 1}, {"InEnd", 62000, 61990}}));
    Choose("MCommEnd");
    Choose("MLangCZ");
    PressConnect();
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1].Text, QString::fromUtf8("Naposledy připojen ") + date + QString::fromUtf8(" jako FT-101; od té doby beze změny"));
    Choose("MCommEnd");

    // Another model is another converter.
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27L)));
    EXPECT_EQ(Boxes().size(), 2u);
    EXPECT_FALSE(Register().Known());

    // The labels typed in the history window.
    Choose("MCommEnd");
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    Choose("MFileHistory");
    auto* d = Window().findChild<THistoryDialog*>(QStringLiteral("FrmHistory"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->EdtHistoryTag->text(), QStringLiteral("FT-101"));
    EXPECT_TRUE(d->MemoHistory->toPlainText().contains(QStringLiteral("FilterType 0 -> 1"))) << d->MemoHistory->toPlainText().toStdString();
    d->EdtHistoryTag->setText(QStringLiteral("FT-102"));
    d->EdtHistoryNote->setText(QString::fromUtf8("nový kabel"));
    Click(d->BtnHistorySave);
    EXPECT_EQ(Register().Labels, (THistoryLabels{"FT-102", "Plant 3", "nový kabel"}));

    // The tag in the record.
    TWorkRecord r;
    r.Tag = "FT-101";
    EXPECT_TRUE(WorkRecordHtml(r, LangEnglish).contains(QStringLiteral("<b>Tag</b></td><td>FT-101")));
}
