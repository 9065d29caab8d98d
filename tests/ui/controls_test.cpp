// The window's own controls and plumbing, without a converter: the code spin edit, the masked
// edit, the error report, the synchronizer, the text tables.
#include "window_fixture.h"

#include "protocol/device_settings.h"
#include "serial/comtypes.h"
#include "signal/config_rules.h"
#include "signal/signal_kind.h"
#include "ui/helptext.h"
#include "ui/langtexts.h"
#include "ui/linelogwindow.h"
#include "ui/maskedit.h"
#include "ui/portbox.h"
#include "ui/qtsynchronizer.h"
#include "ui/spinedit.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QThread>
#include <QtTest/QTest>

#include <set>
#include <stdexcept>
#include <thread>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

class ControlsTest : public TWindowTest {};

// A top-level window with two line edits around the spin edit, for focus moves.
struct TSpinHost {
    QWidget Host;
    QLineEdit* Before = new QLineEdit(&Host);
    TSpinEdit* Edit = new TSpinEdit(&Host);
    QLineEdit* After = new QLineEdit(&Host);
    TSpinHost()
    {
        Before->setGeometry(0, 0, 60, 22);
        Edit->setGeometry(0, 30, 70, 22);
        After->setGeometry(0, 60, 60, 22);
        Edit->SetMinValue(0);
        Edit->SetMaxValue(16383);
        Host.show();
        QApplication::setActiveWindow(&Host);
        Before->setFocus(Qt::OtherFocusReason);
    }
};

} // namespace

TEST_F(ControlsTest, SpinEditReadsAnyTextAndCountsNonNumbersAsMinimum)
{
    TSpinEdit e;
    e.SetMinValue(0);
    e.SetMaxValue(16383);
    e.setText("20000");
    EXPECT_EQ(e.Value(), 20000) << "typed text is not clamped";
    e.setText("-5");
    EXPECT_EQ(e.Value(), -5);
    for (const char* t : {"", "abc", "12a", "1.5", "-", "+"}) {
        e.setText(t);
        EXPECT_EQ(e.Value(), 0) << t;
    }
    e.setText("abcde");
    EXPECT_EQ(e.text(), "abcde") << "any text up to five characters stays";
    e.setText("123456");
    EXPECT_EQ(e.text(), "12345");
}

TEST_F(ControlsTest, SpinEditChangeFiresExactlyWhenTheTextChanges)
{
    TSpinEdit e;
    e.SetMinValue(0);
    e.SetMaxValue(16383);
    QSignalSpy change(&e, &TSpinEdit::Change);
    e.SetValue(100);
    EXPECT_EQ(change.count(), 1);
    e.SetValue(100);
    EXPECT_EQ(change.count(), 1) << "the same value changes nothing";
    e.SetValue(20000);
    EXPECT_EQ(e.text(), "16383") << "the program's value is limited";
    EXPECT_EQ(change.count(), 2);
    e.SetMaxValue(8191);
    EXPECT_EQ(e.text(), "16383") << "a lower maximum leaves the text alone";
    EXPECT_EQ(change.count(), 2);
    e.StepUp();
    EXPECT_EQ(e.text(), "8191") << "the arrows keep within the limits";
    e.setText("x");
    e.StepUp();
    EXPECT_EQ(e.text(), "1");
    e.SetValue(0);
    e.StepDown();
    EXPECT_EQ(e.text(), "0");
}

TEST_F(ControlsTest, SpinEditKeyPressComesBeforeTheKeyAndArrowsStep)
{
    TSpinHost h;
    h.Edit->setFocus(Qt::TabFocusReason);
    h.Edit->setText("12");
    h.Edit->setCursorPosition(2);
    QStringList seen;
    QObject::connect(h.Edit, &TSpinEdit::KeyPress, h.Edit, [&](QChar& K) { seen << h.Edit->text() + "|" + K; });
    QTest::keyClick(h.Edit, Qt::Key_3);
    EXPECT_EQ(seen, QStringList{"12|3"});
    EXPECT_EQ(h.Edit->text(), "123");
    QTest::keyClick(h.Edit, Qt::Key_Up);
    EXPECT_EQ(h.Edit->text(), "124");
    EXPECT_EQ(seen.size(), 1) << "arrow keys are no characters";
}

TEST_F(ControlsTest, SpinEditEnterAndExitOnlyForTheUsersFocusMoves)
{
    TSpinHost h;
    QSignalSpy enter(h.Edit, &TSpinEdit::Enter);
    QSignalSpy exit(h.Edit, &TSpinEdit::Exit);

    h.Edit->setFocus(Qt::OtherFocusReason); // the program moved it
    h.After->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(enter.count(), 0);
    EXPECT_EQ(exit.count(), 0);

    // Tab passes through silently; a change made there is left with an Exit.
    h.Edit->setFocus(Qt::TabFocusReason);
    h.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(enter.count(), 0);
    EXPECT_EQ(exit.count(), 0);
    h.Edit->setFocus(Qt::BacktabFocusReason);
    QTest::keyClick(h.Edit, Qt::Key_Up);
    h.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(enter.count(), 0);
    EXPECT_EQ(exit.count(), 1);
    exit.clear();

    h.Edit->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(enter.count(), 1);
    // A box on top takes the window's focus and gives it back: neither counts.
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(h.Edit, &out);
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(h.Edit, &in);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(exit.count(), 0);

    h.After->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(exit.count(), 1);

    // Parked by the program while entered: no Exit, and the next user entry counts again.
    h.Edit->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(enter.count(), 2);
    h.Before->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(exit.count(), 1);
    h.Edit->setFocus(Qt::ShortcutFocusReason);
    EXPECT_EQ(enter.count(), 3);
}

TEST_F(ControlsTest, MaskEditKeepsLiteralsAndBlanksInItsText)
{
    TMaskEdit e;
    e.SetEditMask("#99,999;1;0");
    e.SetText("   ,   ");
    EXPECT_EQ(e.Text(), "   ,   ");
    e.SetText("012,500");
    EXPECT_EQ(e.Text(), "012,500");
    e.SetText("-05,250");
    EXPECT_EQ(e.Text(), "-05,250");
    e.SetEditMask("#999,9;1;0");
    e.SetText("0123,4");
    EXPECT_EQ(e.Text(), "0123,4");
    e.SetEditMask("#99,99;1;0");
    e.SetText("025,50");
    EXPECT_EQ(e.Text(), "025,50");
    e.SetEditMask("99,999;1;0");
    e.SetText("05,000");
    EXPECT_EQ(e.Text(), "05,000");
    e.SetText("-5,000");
    EXPECT_NE(e.Text().at(0), QChar('-')) << "no sign where the picture has none";
}

TEST_F(ControlsTest, MaskEditTypingFillsPositionsAndLeavesTheRestBlank)
{
    QWidget host;
    auto* e = new TMaskEdit(&host);
    e->SetEditMask("#99,999;1;0");
    e->SetText("   ,   ");
    host.show();
    QApplication::setActiveWindow(&host);
    e->setFocus();
    e->setCursorPosition(1);
    QTest::keyClicks(e, "4");
    EXPECT_EQ(e->Text(), " 4 ,   ");
}

TEST_F(ControlsTest, HandlerErrorsAreReportedOnceAndTheSilentAbortNotAtAll)
{
    RunHandler([] { throw std::runtime_error("broken"); });
    RunHandler([] { throw EAbort(); });
    RunHandler([] { throw 42; });
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
    EXPECT_EQ(Boxes()[0].Text, "broken");
    EXPECT_EQ(Boxes()[1].Text, "Unknown error");
}

TEST_F(ControlsTest, AnErrorOfAHandlerTheProgramTriggeredIsRaisedWhereItTriggeredIt)
{
    // As if the handler had been called directly: the program's own code sees the error and
    // stops, nothing is shown by the handler's wiring.
    bool after = false;
    EXPECT_THROW(RaisingFrom([&] {
                     RunHandler([] { throw std::runtime_error("from handler"); });
                     after = true;
                 }),
                 std::runtime_error);
    EXPECT_TRUE(after) << "the change itself completes";
    EXPECT_TRUE(Boxes().empty());

    // Inside a modal loop, handlers report for themselves.
    RaisingFrom([&] {
        TModalScope modal;
        RunHandler([] { throw std::runtime_error("inside a box"); });
    });
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, "inside a box");
}

TEST_F(ControlsTest, EventsOfTheProgramsWidgetsCannotEscapeIntoTheEventLoop)
{
    struct TThrower : QObject {
        bool event(QEvent* E) override
        {
            if (E->type() == QEvent::User)
                throw std::runtime_error("from an event");
            return QObject::event(E);
        }
    } thrower;
    QEvent e(QEvent::User);
    QApplication::sendEvent(&thrower, &e);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, "from an event");
}

TEST_F(ControlsTest, SynchronizerRunsOnTheGuiThreadAndCarriesErrorsBack)
{
    QThread* gui = QThread::currentThread();
    QThread* ranOn = nullptr;
    bool threw = false;
    bool done = false;
    std::thread t([&] {
        RunOnGuiThread([&] { ranOn = QThread::currentThread(); });
        try {
            RunOnGuiThread([] { throw EComError("late", 5); });
        } catch (const EComError& e) {
            threw = e.ErrorCode() == 5;
        }
        done = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return done; }));
    t.join();
    EXPECT_EQ(ranOn, gui);
    EXPECT_TRUE(threw);

    // On the GUI thread itself the call runs at once.
    bool direct = false;
    RunOnGuiThread([&] { direct = true; });
    EXPECT_TRUE(direct);
}

TEST_F(ControlsTest, SeamTextHelpers)
{
    EXPECT_EQ(DisplayLineBreaks("a\r\rb\r\nc"), "a\n\nb\nc");
    EXPECT_EQ(QtFileFilter(QString::fromUtf8("CSV (oddělený středníkem)|*.csv")),
              QString::fromUtf8("CSV (oddělený středníkem) (*.csv)"));
}

TEST_F(ControlsTest, TextTablesAreCompleteAndExact)
{
    std::set<std::string> names;
    for (const auto& row : MessageTable)
        names.insert(row.Name);
    EXPECT_EQ(names.size(), 13u);
    EXPECT_STREQ(CaptionTable[0].Text.Czech, "Konfigurační program pro převodník KVT27/KVT27L - DORNEK®");
    EXPECT_STREQ(CaptionTable[46].Target, "RdBtnNumAIOV");
    EXPECT_STREQ(MessageTable[12].Text.English,
                 "Please turn-off and turn-on converter power supply, to succesfully complete user calibration "
                 "process.");

    for (int lang : {LangCzech, LangEnglish}) {
        const QStringList help = HelpLines(lang);
        ASSERT_EQ(help.size(), 89);
        for (const QString& line : help)
            EXPECT_LE(line.trimmed().size(), 40) << line.toStdString();
    }
    const QStringList help = HelpLines(LangCzech);
    EXPECT_EQ(help[0], QString::fromUtf8("Nápověda k programu"));
    EXPECT_EQ(help[12], " ON   ON   ON   ON  0/4-20mA .. 0/4-20mA");
    EXPECT_EQ(help[27], QString::fromUtf8("OFF  OFF  OFF  OFF  nastavení z PC"));
    EXPECT_EQ(help[88], QString::fromUtf8("stavu dle nastavení."));
}

// The help's switch table and the configuration texts of a connect describe the same sixteen
// positions: the same input, an output of the same kind, the same positions out of use.
TEST_F(ControlsTest, HelpSwitchTableAgreesWithTheConfigurations)
{
    // "0/4 - 20 mA DC" or "Odporový vysílač DC" as the table writes it: "0/4-20mA", "OV(0-100%)".
    auto tableForm = [](std::string Text) {
        for (const std::string word : {"Odporový vysílač", "Potentiometer"})
            if (Text.starts_with(word))
                Text = "OV(0-100%)" + Text.substr(word.size());
        if (Text.ends_with(" DC"))
            Text.resize(Text.size() - 3);
        std::erase(Text, ' ');
        return Text;
    };
    for (int code = 0; code < 16; ++code) {
        SCOPED_TRACE(code);
        const std::string meaning = DipMeanings[static_cast<std::size_t>(code)].Czech;
        const std::size_t arrow = meaning.find(" .. ");
        ASSERT_EQ(arrow != std::string::npos, ConfigClassOf(code) == TConfigClass::Dip);
        if (arrow == std::string::npos)
            continue;
        const std::string in = meaning.substr(0, arrow);
        const std::string out = meaning.substr(arrow + 4);
        EXPECT_EQ(in.starts_with("OV(") ? TSignalKind::Percent : in.ends_with("mA") ? TSignalKind::Current : TSignalKind::Voltage,
                  SignalKindOf(code, 0));
        TDeviceSettings dip;
        dip.ConfigType = code;
        const int output = out.ends_with("mA") ? OutputModeCurrent : OutputModeVoltage;
        EXPECT_EQ(output, EffectiveOutputMode(dip));
        for (const auto& [text, to] : {std::pair{ConfigTypeText(code), " na "}, {ConfigTypeTextEnglish(code), " to "}}) {
            const std::size_t at = text.find(to);
            ASSERT_NE(at, std::string_view::npos) << text;
            EXPECT_EQ(tableForm(std::string(text.substr(0, at))), in) << text;
            // Position 6's text has always named its current output "4 - 20 V DC".
            if (code != 6) {
                EXPECT_EQ(text.ends_with("mA DC") ? OutputModeCurrent : OutputModeVoltage, output) << text;
            }
        }
    }
    EXPECT_EQ(DipSwitchLine(9, LangEnglish), "OFF   ON   ON  OFF  OV(0-100%) .. 4-20mA");
    EXPECT_EQ(DipSwitchLine(ConfigTypePc, LangEnglish), "OFF  OFF  OFF  OFF  settings from PC");
}

// Alt and a menu's letter opens the menu; in the open menu the letter of an item chooses it. The
// letters follow the language.
TEST_F(ControlsTest, MenuMnemonicsOpenAMenuAndChooseItsItem)
{
    TFrmMain& w = Window();
    QApplication::setActiveWindow(&w);
    QTest::keyClick(&w, Qt::Key_J, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return w.MenuLang->isVisible(); }));
    QTest::keyClick(w.MenuLang, Qt::Key_E);
    EXPECT_TRUE(WaitUntil([&] { return !w.MenuLang->isVisible(); }));
    EXPECT_TRUE(w.MLangEN->isChecked());
    EXPECT_EQ(w.ChosenLang(), LangEnglish);

    QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return w.MenuComm->isVisible(); }));
    QTest::keyClick(w.MenuComm, Qt::Key_L);
    EXPECT_TRUE(WaitUntil([&] { return w.FrmLineLog != nullptr && w.FrmLineLog->isVisible(); }));
    EXPECT_FALSE(w.MenuComm->isVisible());
    w.FrmLineLog->close();
}

TEST_F(ControlsTest, PortNameRule)
{
    EXPECT_EQ(TFrmMain::PortDeviceName("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(TFrmMain::PortDeviceName("pts/3"), "/dev/pts/3");
    EXPECT_EQ(TFrmMain::PortDeviceName("/tmp/line"), "/tmp/line");
    EXPECT_EQ(TFrmMain::PortDeviceName("  ttyS1 "), "/dev/ttyS1");
    EXPECT_EQ(TFrmMain::PortDeviceName(""), "");
    EXPECT_EQ(TFrmMain::PortDeviceName("   "), "");
}

// The port box lists what the system calls each device, but its field, which the connect opens
// and the status bar shows, gets the bare name of the item chosen.
TEST_F(ControlsTest, PortBoxShowsDescriptionsButChoosingPutsTheBareName)
{
    QWidget host;
    auto* box = new TComboBox(&host);
    box->setGeometry(0, 0, 105, 22);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    InstallPortItemDelegate(box);
    std::vector<kvt::TPortInfo> ports(2);
    ports[0].Name = "COM3";
    ports[1].Name = "COM5";
    ports[1].Description = "USB Serial Port";
    SetPortItems(box, ports);
    EXPECT_TRUE(PortItemsAre(box, ports));
    ports[0].Description = "Communications Port";
    EXPECT_FALSE(PortItemsAre(box, ports)) << "a new description fills the list anew";
    SetPortItems(box, ports);
    host.show();

    const QModelIndex usb = box->model()->index(1, 0);
    EXPECT_EQ(box->itemText(1), "COM5");
    EXPECT_EQ(TPortItemDelegate::ListText(usb), QString::fromUtf8("COM5 \u2014 USB Serial Port"));
    EXPECT_EQ(usb.data(Qt::ToolTipRole).toString(), TPortItemDelegate::ListText(usb));
    EXPECT_GT(box->view()->minimumWidth(), box->width());

    box->showPopup();
    Pump();
    QAbstractItemView* list = box->view();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualRect(usb).center());
    Pump();
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(box->currentText(), "COM5");
    EXPECT_EQ(box->lineEdit()->text(), "COM5");
}
