// The window as it starts: structure, names, fixed properties, texts, languages, help box.
#include "window_fixture.h"

#include "ui/aboutbox.h"
#include "ui/langtexts.h"

#include "kvt_version.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QSysInfo>
#include <QTabBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

class WindowStartupTest : public TWindowTest {};

QString U(const char* Utf8)
{
    return QString::fromUtf8(Utf8);
}

} // namespace

TEST_F(WindowStartupTest, StartsOnTheConnectPanelInCzechWithAnEmptyStatusBar)
{
    TFrmMain& w = Window();
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.PanelConfig->isVisible());
    EXPECT_TRUE(w.GrpBxSignalLimit->isHidden());
    EXPECT_TRUE(w.PrgBarLoadEE->isHidden());
    EXPECT_EQ(w.PrgBarLoadEE->value(), 0);
    EXPECT_EQ(StatusPanel(0), U("Vyberte příslušný COM port, na kterém je připojen převodník KVT27/KVT27L."))
        << "the port hint from the start";
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(StatusPanel(i), QString()) << i;
    EXPECT_TRUE(w.MLangCZ->isChecked());
    EXPECT_FALSE(w.MLangEN->isChecked());
    EXPECT_EQ(w.windowTitle(), U("Konfigurační program pro převodník KVT27/KVT27L - DORNEK®"));
    EXPECT_EQ(w.SpdBtnConnect->text(), U("Navázat spojení"));
    EXPECT_EQ(w.MsgLinkLost, U("Spojení s převodníkem bylo přerušeno a nebo není převodník připojen."));
    EXPECT_EQ(w.GrpBxAI->title(), QString()) << "the model is not known yet";
    EXPECT_EQ(w.GrpBxAO->title(), QString());

    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(w.ComPort.BaudRate(), br4800);
    EXPECT_EQ(w.ComPort.DataBits(), db8);
    EXPECT_EQ(w.ComPort.Parity(), paNone);
    EXPECT_EQ(w.ComPort.StopBits(), sb1);
    EXPECT_EQ(w.ComPort.FlowControl().DTR(), dcDisable);
    EXPECT_EQ(w.ComPort.FlowControl().RTS(), rcEnable);
    EXPECT_EQ(w.ComPort.Timeouts().ReadConstant(), 100);
    EXPECT_EQ(w.ComPort.Timeouts().WriteMultiplier(), 100);
    EXPECT_TRUE(static_cast<bool>(w.ComPort.OnLineError()));

    EXPECT_FALSE(w.TmrDatalog->Enabled());
    EXPECT_EQ(w.TmrDatalog->Interval(), 1000);
    EXPECT_EQ(w.CmbBxDatalog->count(), 8);
    EXPECT_EQ(w.CmbBxDatalog->currentIndex(), -1);
    EXPECT_EQ(w.CmbBxDatalog->itemText(7), "5 min");
    EXPECT_EQ(w.StrGrdDta->Table.RowCount(), 1u);
    EXPECT_EQ(w.BarDivisor, 82);
    EXPECT_EQ(w.SpnEdtAOZero->MaxValue(), 16383);
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "   ,   ");
    EXPECT_EQ(w.MaskEdtAONumEnd->Text(), "  ,   ");
    EXPECT_EQ(w.CmbBxPort->currentText(), QString());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowStartupTest, EveryControlCarriesItsNameAndTheFixedProperties)
{
    TFrmMain& w = Window();
    const char* names[] = {
        "PanelConfig", "PgControl", "TbSignals", "GrpBxAI", "RdBtnAII", "RdBtnAIUH", "RdBtnAIUL", "RdBtnAIOV",
        "SpdBtnAIZero", "SpdBtnAIEnd", "LblAIUSRZero", "LblAIUSREnd", "GrpBxAO", "RdBtnAOI", "RdBtnAOU",
        "SpnEdtAOZero", "SpnEdtAOEnd", "SpdBtnAOZero", "SpdBtnAOEnd", "LblAOZero", "LblAOEnd", "PrgBrAOZero",
        "PrgBrAOEnd", "LblBarAOZero0", "LblBarAOZero50", "LblBarAOZero100", "LblBarAOEnd0", "LblBarAOEnd50",
        "LblBarAOEnd100", "TbOptions", "GrpBxSignalLimit", "RdBtnNoReaction", "RdBtnZeroDrop", "RdBtnMaxRise",
        "RdBtn35mADrop", "GrpBxFilter", "RdBtnFilt0", "RdBtnFilt1", "RdBtnFilt2", "TbDatalog", "ImgDatalog",
        "LblLogPeriod", "CmbBxDatalog", "LblLogMeasVal", "EdtDatalog", "LblDtaUnit", "LblLogCount", "LblDtaCount",
        "SpdBtnSaveFile", "SpdBtnDatalog", "StrGrdDta", "TbShtNumeral", "GrpBxNum", "RdBtnNumAII", "RdBtnNumAIU",
        "RdBtnNumAIUL", "RdBtnNumAIOV", "MaskEdtNumBegin", "MaskEdtNumEnd", "LblNumBegin", "LblNumEnd",
        "LblNumBeginUnit", "LblNumEndUnit", "SpdBtnSendNumeral", "GrpBxNumAO", "RdBtnNumAOI", "RdBtnNumAOU",
        "MaskEdtAONumBegin", "MaskEdtAONumEnd", "LblNumBeginAO", "LblNumEndAO", "LblNumAOBegin", "LblNumAOEnd",
        "SpdBtnSendNumeralAO", "SpdBtnMeasInput", "LblAIMeasVal", "SpdBtnReload", "PanelConnect", "LblComPort",
        "CmbBxPort", "SpdBtnConnect", "PrgBarLoadEE", "LblProgVersion", "StatusBar", "TmrDatalog", "MainMenu1",
        "MenuFile", "MFileClose", "MenuComm", "MCommEnd", "MenuHelp", "MenuLang", "MLangCZ", "MLangEN", "SvDlg"};
    for (const char* n : names)
        EXPECT_EQ(w.findChildren<QObject*>(QString::fromLatin1(n)).size(), 1) << n;

    // The client area below the menu, the panels and the status bar.
    EXPECT_EQ(w.ClientArea->size(), QSize(643, 260));
    EXPECT_EQ(w.height(), 260 + w.MainMenu1->height());
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "no resizing";
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w.StatusBar->geometry(), QRect(0, 242, 643, 18));
    ASSERT_EQ(w.StatusBar->PanelCount(), 4);
    const int widths[] = {493, 50, 50, 50};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(w.StatusBar->Panel(i)->width(), widths[i]);
    EXPECT_EQ(w.PgControl->size(), QSize(641, 208));
    EXPECT_EQ(w.ImgDatalog->size(), QSize(633, 155));
    EXPECT_EQ(w.CmbBxPort->width(), 105);
    EXPECT_EQ(w.PrgBarLoadEE->size(), QSize(257, 16));

    const QWidget* tabs[] = {w.TbSignals, w.TbOptions, w.TbDatalog, w.TbShtNumeral};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(w.PgControl->widget(i), tabs[i]);

    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->objectName().startsWith("SpdBtn")) {
            EXPECT_EQ(b->focusPolicy(), Qt::TabFocus) << "Tab, not a click: " << b->objectName().toStdString();
            EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
            EXPECT_FALSE(b->icon().pixmap(16, QIcon::Disabled).isNull());
        }
    }

    const QList<QAction*> top = w.MainMenu1->actions();
    ASSERT_EQ(top.size(), 5);
    EXPECT_EQ(top[0]->menu(), w.MenuFile);
    EXPECT_EQ(top[1]->menu(), w.MenuComm);
    EXPECT_EQ(top[2], w.MenuHelp);
    EXPECT_EQ(top[2]->menu(), nullptr) << "help has no submenu";
    EXPECT_EQ(top[3], w.MenuAbout);
    EXPECT_EQ(top[4]->menu(), w.MenuLang);
    EXPECT_EQ(w.MenuLang->title(), "Jazyk / Language");
}

// The About box names the version and the system the program runs on, in the window's language.
TEST_F(WindowStartupTest, AboutBoxNamesTheVersionAndTheSystem)
{
    Window();
    Choose("MenuAbout");
    Choose("MLangEN");
    Choose("MenuAbout");
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::About);
    EXPECT_TRUE(Boxes()[0].Text.contains(QString::fromUtf8("Systém: ") + QSysInfo::prettyProductName()));
    EXPECT_TRUE(Boxes()[1].Text.contains(QStringLiteral("System: ") + QSysInfo::prettyProductName()));
    EXPECT_TRUE(Boxes()[1].Text.contains(QLatin1String(kvt::ProgramVersion)));
    EXPECT_TRUE(Boxes()[1].Text.contains(QStringLiteral("/usr/share/doc/kvt27-config")));
}

TEST_F(WindowStartupTest, LanguageMenuSwitchesCaptionsMessagesAndCheckMarks)
{
    TFrmMain& w = Window();
    w.StatusBar->SetPanelText(0, "written before");
    Choose("MLangEN");
    EXPECT_FALSE(w.MLangCZ->isChecked());
    EXPECT_TRUE(w.MLangEN->isChecked());
    EXPECT_EQ(w.windowTitle(), "Configuration program for KVT27/KVT27L converter - DORNEK®");
    EXPECT_EQ(w.PgControl->tabText(3), "Input numeral settings");
    EXPECT_EQ(w.GrpBxNumAO->title(), "Output numeral settings");
    EXPECT_EQ(w.MenuHelp->text(), "Help");
    EXPECT_EQ(w.MFileClose->text(), "Close");
    EXPECT_EQ(w.LblComPort->text(), "Choose port :");
    EXPECT_EQ(w.MsgNoPeriod, "Sample period has to be selected.");
    EXPECT_EQ(w.MenuLang->title(), "Jazyk / Language");
    EXPECT_EQ(StatusPanel(0), "written before") << "the status bar keeps its language";

    Choose("MLangCZ");
    EXPECT_TRUE(w.MLangCZ->isChecked());
    EXPECT_FALSE(w.MLangEN->isChecked());
    EXPECT_EQ(w.PgControl->tabText(2), U("Měření a záznam dat"));
    EXPECT_EQ(w.MsgNoPeriod, U("Vyberte prosím časouvou periodu pro záznam dat."));

    w.SetLang(2); // not a language: nothing changes
    EXPECT_EQ(w.PgControl->tabText(2), U("Měření a záznam dat"));
}

// Every caption, in both languages and with both models' texts, shows whole at the fixed size.
TEST_F(WindowStartupTest, EveryCaptionFitsItsControlInBothLanguagesAndModels)
{
    TFrmMain& w = Window();
    for (int model : {ModelKVT27, ModelKVT27L}) {
        w.DeviceSettings.DeviceModel = model;
        w.SetOptions();
        for (int lang : {LangCzech, LangEnglish}) {
            w.SetLang(lang);
            const std::string where = "model " + std::to_string(model) + " lang " + std::to_string(lang) + ": ";
            for (QLabel* l : w.findChildren<QLabel*>()) {
                if (l->text().isEmpty() || l->parent() == w.StatusBar)
                    continue;
                EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width())
                    << where << l->objectName().toStdString();
            }
            for (QAbstractButton* b : w.findChildren<QAbstractButton*>()) {
                if (b->text().isEmpty() || (!b->objectName().startsWith("RdBtn") && !b->objectName().startsWith("SpdBtn")))
                    continue;
                int need = QFontMetrics(b->font()).horizontalAdvance(b->text());
                if (qobject_cast<QRadioButton*>(b))
                    need += b->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) + 8;
                else
                    need += b->iconSize().width() + 14;
                EXPECT_LE(need, b->width()) << where << b->objectName().toStdString();
            }
            for (QGroupBox* g : w.findChildren<QGroupBox*>())
                EXPECT_LE(QFontMetrics(g->font()).horizontalAdvance(g->title()) + 12, g->width())
                    << where << g->objectName().toStdString();
            int tabs = 0;
            for (int i = 0; i < w.PgControl->count(); ++i)
                tabs += w.PgControl->tabBar()->tabRect(i).width();
            EXPECT_LE(tabs, w.PgControl->width()) << where << "tabs";
        }
    }
}

TEST_F(WindowStartupTest, HelpBoxShowsItsFixedTextModallyInTheChosenLanguage)
{
    TFrmMain& w = Window();
    TAboutBox* box = AboutBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), U("Nápověda"));
    EXPECT_EQ(box->size(), QSize(321, 419));
    EXPECT_EQ(box->Memo1->document()->blockCount(), 89);
    EXPECT_EQ(box->Memo1->document()->findBlockByNumber(20).text(), "OFF   ON   ON   ON  OV(0-100%) .. 0-20mA");
    EXPECT_TRUE(box->Memo1->isReadOnly());
    EXPECT_EQ(box->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(box->Memo1->font().fixedPitch());
    EXPECT_TRUE(box->OKButton->isDefault());
    EXPECT_EQ(box->OKButton->geometry(), QRect(119, 388, 75, 25));
    // Forty characters of the help font fit on a line.
    EXPECT_LE(QFontMetrics(box->Memo1->font()).horizontalAdvance(QString(40, 'M')),
              box->Memo1->viewport()->width() - 2 * static_cast<int>(box->Memo1->document()->documentMargin()));

    Choose("MLangEN");
    bool wasVisible = false;
    QTimer::singleShot(50, box, [&] {
        wasVisible = box->isVisible() && box->isModal();
        box->OKButton->click();
    });
    Choose("MenuHelp");
    EXPECT_TRUE(wasVisible);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->windowTitle(), "Help");
    EXPECT_EQ(box->Memo1->document()->blockCount(), 89);
    EXPECT_EQ(box->Memo1->document()->findBlockByNumber(23).text(), "OFF   ON  OFF  OFF  not used");
    EXPECT_TRUE(w.isEnabled());
}
