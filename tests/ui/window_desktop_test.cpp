// The window as a desktop program: the start language, what it remembers between runs, the
// keyboard, the port list read again, and English without Czech.
#include "window_fixture.h"

#include "ui/aboutbox.h"
#include "ui/language.h"
#include "ui/langtexts.h"

#include "protocol/commands.h"
#include "protocol/identity.h"
#include "platform/simregistry.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QShortcut>
#include <QTabBar>
#include <QToolTip>
#include <QTemporaryDir>
#include <QTimer>
#include <QHelpEvent>
#include <QToolTip>
#include <QtTest/QTest>

#include <map>
#include <set>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

class WindowDesktopTest : public TWindowTest {};

// Sets the locale variables for one case and puts them back afterwards.
class TLocaleEnv {
public:
    explicit TLocaleEnv(const std::map<const char*, const char*>& Values)
    {
        for (const char* name : Names) {
            FSaved[name] = qgetenv(name);
            FHad[name] = qEnvironmentVariableIsSet(name);
            qunsetenv(name);
        }
        for (const auto& [name, value] : Values)
            qputenv(name, value);
    }
    TLocaleEnv(const TLocaleEnv&) = delete;
    TLocaleEnv& operator=(const TLocaleEnv&) = delete;
    ~TLocaleEnv()
    {
        for (const char* name : Names) {
            if (FHad[name])
                qputenv(name, FSaved[name]);
            else
                qunsetenv(name);
        }
    }

private:
    static constexpr const char* Names[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};
    std::map<const char*, QByteArray> FSaved;
    std::map<const char*, bool> FHad;
};

const QRegularExpression CzechLetters(QString::fromUtf8("[áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ]|\\bna\\b"));

// Presses Tab Count times from the focus widget; the widgets the focus visited, in order.
std::vector<QWidget*> TabThrough(int Count)
{
    std::vector<QWidget*> seen;
    for (int i = 0; i < Count; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr)
            break;
        QTest::keyClick(focus, Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget());
    }
    return seen;
}

bool Reached(const std::vector<QWidget*>& Seen, QWidget* W)
{
    for (QWidget* s : Seen)
        if (s == W || (s != nullptr && W->isAncestorOf(s)))
            return true;
    return false;
}

} // namespace

TEST_F(WindowDesktopTest, StartLanguageFollowsTheSystemUntilTheUserChooses)
{
    struct TCase {
        std::map<const char*, const char*> Env;
        int Lang;
    };
    const TCase cases[] = {
        {{{"LANG", "en_US.UTF-8"}}, LangEnglish},
        {{{"LANG", "en_GB"}}, LangEnglish},
        {{{"LANG", "cs_CZ.UTF-8"}}, LangCzech},
        {{{"LANG", "de_DE.UTF-8"}}, LangCzech},
        {{{"LANG", "C.UTF-8"}}, LangCzech},
        {{}, LangCzech},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "cs_CZ.UTF-8"}}, LangCzech},
        {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", "cs_CZ.UTF-8"}}, LangCzech},
        {{{"LANG", "cs_CZ.UTF-8"}, {"LANGUAGE", "en_GB:cs"}}, LangEnglish},
        {{{"LANG", "C"}, {"LANGUAGE", "en"}}, LangCzech},
    };
    for (const TCase& c : cases) {
        TLocaleEnv env(c.Env);
        EXPECT_EQ(SystemLanguage(), c.Lang) << qgetenv("LANG").constData() << " " << qgetenv("LANGUAGE").constData();
    }

    TLocaleEnv english(std::map<const char*, const char*>{{"LANG", "en_US.UTF-8"}});
    {
        TFrmMain w;
        EXPECT_TRUE(w.MLangEN->isChecked());
        EXPECT_FALSE(w.MLangCZ->isChecked());
        EXPECT_EQ(w.windowTitle(), "Configuration program for KVT27/KVT27L converter - DORNEK®");
        EXPECT_EQ(w.StatusBar->PanelText(0), "Select COM port, which is KVT27 converter connected to.");
        w.MLangCZ->trigger();
    }
    TFrmMain w; // the user's choice wins over the system's language
    EXPECT_TRUE(w.MLangCZ->isChecked());
    EXPECT_EQ(w.SpdBtnConnect->text(), QString::fromUtf8("Navázat spojení"));
}

TEST_F(WindowDesktopTest, SettingsAreRememberedAcrossTwoStarts)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& first = Window();
    Choose("MLangEN");
    first.PgControl->setCurrentWidget(first.TbDatalog);
    first.CmbBxDatalog->setFocus(Qt::MouseFocusReason);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(first.CmbBxDatalog, Qt::Key_Down); // "5 sec"
    Seam().SaveAnswers.push_back(folder.filePath("log"));
    Click(first.SpdBtnSaveFile);
    first.move(130, 90);
    Pump();
    const QPoint position = first.pos();
    first.close();
    Pump();

    TFrmMain second;
    second.show();
    Pump();
    EXPECT_TRUE(second.MLangEN->isChecked());
    EXPECT_EQ(second.LblComPort->text(), "Choose port :");
    EXPECT_EQ(second.CmbBxPort->currentText(), QString::fromStdString(Sim().DevicePath()));
    EXPECT_EQ(second.CmbBxDatalog->currentIndex(), 2);
    EXPECT_EQ(second.TmrDatalog->Interval(), 5000);
    EXPECT_EQ(second.pos(), position);
    second.SpdBtnSaveFileClick(nullptr);
    ASSERT_EQ(Seam().SaveFolders.size(), 2u);
    EXPECT_EQ(Seam().SaveFolders[0], QString()) << "nothing remembered before the first export";
    EXPECT_EQ(QDir(Seam().SaveFolders[1]), QDir(folder.path()));
    second.close();
}

// Tabbing through every page visits every button and field, and drives nothing: the code
// fields send their drive and release frames only for a click or a change the user makes.
TEST_F(WindowDesktopTest, TabReachesEachMainButtonAndSendsNoFrameOnTheWay)
{
    TFrmMain& w = Window();
    w.CmbBxPort->setFocus(Qt::MouseFocusReason);
    const auto connectPanel = TabThrough(6);
    EXPECT_TRUE(Reached(connectPanel, w.SpdBtnConnect));
    EXPECT_TRUE(Reached(connectPanel, w.CmbBxPort));

    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    ClearFrames();
    for (int page = 0; page < w.PgControl->count(); ++page) {
        SCOPED_TRACE(page);
        w.PgControl->setCurrentIndex(page);
        w.PgControl->tabBar()->setFocus(Qt::MouseFocusReason);
        const auto seen = TabThrough(60);
        std::vector<QWidget*> wanted = {w.SpdBtnMeasInput, w.SpdBtnReload};
        for (QWidget* c : w.PgControl->widget(page)->findChildren<QWidget*>())
            if (c->isVisible() && (c->objectName().startsWith("SpdBtn") || c->objectName().startsWith("SpnEdt")
                                   || c->objectName().startsWith("MaskEdt") || c->objectName().startsWith("CmbBx")))
                wanted.push_back(c);
        for (QWidget* c : wanted)
            EXPECT_TRUE(Reached(seen, c)) << c->objectName().toStdString();
    }
    Pump(150); // a drive or release frame gets no reply: give one time to arrive
    EXPECT_TRUE(Frames().empty());

    // No two things shown at once answer to the same Alt + letter, but buttons of one caption.
    for (const char* lang : {"MLangEN", "MLangCZ"}) {
        Choose(lang);
        for (int page = 0; page < w.PgControl->count(); ++page) {
            w.PgControl->setCurrentIndex(page);
            std::map<QString, QString> owner;
            for (QShortcut* s : w.findChildren<QShortcut*>())
                owner[s->key().toString()] = "menu";
            for (TSpeedButton* b : w.findChildren<TSpeedButton*>()) {
                if (!b->isVisible())
                    continue;
                const QString key = b->shortcut().toString();
                EXPECT_FALSE(key.isEmpty()) << b->objectName().toStdString();
                const auto [it, fresh] = owner.emplace(key, b->text());
                EXPECT_TRUE(fresh || it->second == b->text())
                    << lang << " " << key.toStdString() << ": " << b->objectName().toStdString();
            }
        }
    }
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(w.SpdBtnMeasInput->text(), QString::fromUtf8("Změř vstupní signál")) << "the mnemonic is kept beside";

    // Keys the user presses on purpose do act: Alt and the letter presses the button,
    QTest::keyClick(&w, Qt::Key_V, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return !Frames().empty(); }));
    EXPECT_EQ(Commands(), std::vector<int>{CmdMeasure});
    // F1 opens the help box,
    TAboutBox* box = AboutBox();
    ASSERT_NE(box, nullptr);
    bool helpShown = false;
    QTimer::singleShot(50, box, [&] {
        helpShown = box->isVisible();
        box->OKButton->click();
    });
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_TRUE(helpShown);
    QApplication::setActiveWindow(&w); // as the desktop gives it back after the box
    // and the quit shortcut closes the window the way the menu does, releasing the output.
    ClearFrames();
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w.isVisible());
    ASSERT_TRUE(WaitUntil([&] { return !Frames().empty(); }));
    EXPECT_EQ(Commands(), std::vector<int>{CmdOutputRelease});
}

TEST_F(WindowDesktopTest, PortListShowsASimulatorStartedAfterTheWindow)
{
    TFrmMain& w = Window();
    TypePort("my port");
    StartSim(PcConfig(ModelKVT27));
    TSimPortRegistration registration(Sim().DevicePath());
    ASSERT_TRUE(registration.Registered()) << registration.Error();

    w.CmbBxPort->showPopup();
    EXPECT_GE(w.CmbBxPort->findText(QString::fromStdString(Sim().DevicePath())), 0);
    EXPECT_EQ(w.CmbBxPort->currentText(), "my port") << "the typed text stays";
    w.CmbBxPort->hidePopup();

    // The connect panel showing again reads the list too.
    sim::TSimulator second(PcConfig(ModelKVT27L));
    second.Start();
    TSimPortRegistration later(second.DevicePath());
    ASSERT_TRUE(later.Registered()) << later.Error();
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_TRUE(w.PanelConfig->isVisible());
    Choose("MCommEnd");
    EXPECT_GE(w.CmbBxPort->findText(QString::fromStdString(second.DevicePath())), 0);
    EXPECT_EQ(w.CmbBxPort->currentText(), QString::fromStdString(Sim().DevicePath()));
}

TEST_F(WindowDesktopTest, EnglishModeShowsNoCzechInTheWindowTheStatusBarAndHelp)
{
    StartSim(PcConfig(ModelKVT27));
    TFrmMain& w = Window();
    Choose("MLangEN");
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_TRUE(w.PanelConfig->isVisible());

    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << StatusPanel(i);
    for (int i = 0; i < w.PgControl->count(); ++i)
        texts << w.PgControl->tabText(i);
    for (QLabel* l : w.findChildren<QLabel*>())
        texts << l->text();
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        texts << b->text();
    for (QGroupBox* g : w.findChildren<QGroupBox*>())
        texts << g->title();
    for (QAction* a : w.findChildren<QAction*>())
        if (a != w.MLangCZ) // the language's own name
            texts << a->text();
    texts << w.windowTitle();
    Click(w.SpdBtnSaveFile);
    ASSERT_EQ(Seam().SaveFilters.size(), 1u);
    texts << Seam().SaveFilters[0];
    AboutBox()->SetLang(w.ChosenLang());
    texts << AboutBox()->windowTitle() << AboutBox()->Memo1->toPlainText().split('\n');
    for (const QString& t : texts)
        EXPECT_FALSE(t.contains(CzechLetters)) << t.toStdString();
    EXPECT_EQ(StatusPanel(1), QString::fromStdString(Sim().DevicePath())) << "the whole port";
    // Cut in the panel, whole in the tooltip.
    TStatusPanel* port = w.StatusBar->Panel(1);
    EXPECT_TRUE(port->Cut());
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), port->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(port, &help);
    EXPECT_EQ(QToolTip::text(), StatusPanel(1));
}
