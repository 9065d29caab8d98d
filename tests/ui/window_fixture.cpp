#include "window_fixture.h"

#include "ui/aboutbox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QRadioButton>
#include <QThread>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace kvt::ui::test {

void TRecordingSeam::ShowBox(QWidget*, TBoxKind Kind, const QString& Text, const QString& Detail)
{
    Boxes.push_back({Kind, Text, Detail});
    if (OnBox)
        OnBox(Boxes.back());
}

std::optional<QString> TRecordingSeam::SaveFileName(QWidget*, const QString& Filter, const QString& Folder)
{
    SaveFilters.push_back(Filter);
    SaveFolders.push_back(Folder);
    if (SaveAnswers.empty())
        return std::nullopt;
    auto answer = SaveAnswers.front();
    SaveAnswers.pop_front();
    return answer;
}

std::optional<QString> TRecordingSeam::OpenFileName(QWidget*, const QString&, const QString&)
{
    if (OpenAnswers.empty())
        return std::nullopt;
    auto answer = OpenAnswers.front();
    OpenAnswers.pop_front();
    return answer;
}

bool TRecordingSeam::Ask(QWidget*, const QString& Text, const QString& Detail)
{
    Questions.push_back({TBoxKind::Plain, Text, Detail});
    if (AskAnswers.empty())
        return false;
    const bool yes = AskAnswers.front();
    AskAnswers.pop_front();
    return yes;
}

std::optional<int> TRecordingSeam::Choose(QWidget*, const QString& Text, const QStringList& Items)
{
    Choices.push_back({TBoxKind::Plain, Text, Items.join(QLatin1Char('\n'))});
    if (ChooseAnswers.empty())
        return std::nullopt;
    const int index = ChooseAnswers.front();
    ChooseAnswers.pop_front();
    return index;
}

void TRecordingSeam::Sleep(int Ms)
{
    Sleeps.push_back(Ms);
    if (RealSleep && Ms > 0)
        QThread::msleep(static_cast<unsigned long>(Ms));
}

int TRecordingSeam::TimerInterval(int Ms)
{
    return IntervalMap ? IntervalMap(Ms) : Ms;
}

QApplication& EnsureApplication()
{
    static int argc = 1;
    static char name[] = "kvt-ui-tests";
    static char* argv[] = {name, nullptr};
    static TApplication* app = [] {
        // A private registry of simulator ports, so that a simulator running on this machine
        // does not show up in the windows under test.
        static char runtimeDir[] = "/tmp/kvt-ui-tests-XXXXXX";
        static char settingsDir[] = "/tmp/kvt-ui-settings-XXXXXX";
        const bool runtime = mkdtemp(runtimeDir) != nullptr;
        const bool settings = mkdtemp(settingsDir) != nullptr;
        // Both go when the test program ends. Registered before anything of Qt's that writes at
        // exit (the settings) exists, so that all of it has written by then.
        static bool removeRuntime = runtime, removeSettings = settings;
        std::atexit([] {
            std::error_code ec;
            if (removeRuntime)
                std::filesystem::remove_all(runtimeDir, ec);
            if (removeSettings)
                std::filesystem::remove_all(settingsDir, ec);
        });
        if (runtime)
            setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
        auto* a = new TApplication(argc, argv);
        InstallRuntime();
        // The program's settings go to a private folder, never the user's; each test starts
        // with none. The start language is Czech unless a test says otherwise.
        if (settings)
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromLocal8Bit(settingsDir));
        QLocale::system(); // Qt keeps the locale it read here; only the start language reads these again
        qputenv("LC_ALL", "C");
        return a;
    }();
    return *app;
}

sim::TConverterConfig PcConfig(int Model)
{
    sim::TConverterConfig c;
    c.Model = Model;
    c.Words = sim::DefaultWords(Model);
    c.ConfigType = 15;
    return c;
}

sim::TConverterConfig DipConfig(int Model, int ConfigType)
{
    sim::TConverterConfig c = PcConfig(Model);
    c.ConfigType = static_cast<uint16_t>(ConfigType);
    return c;
}

void ClearProgramSettings()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kvt27-config"),
              QStringLiteral("kvt27-config"))
        .clear();
}

void TWindowTest::SetUp()
{
    EnsureApplication();
    ClearProgramSettings();
    // The converters' histories of a test are its own.
    char history[] = "/tmp/kvt-window-history-XXXXXX";
    ASSERT_NE(::mkdtemp(history), nullptr);
    FHistoryDir = history;
    ::setenv("KVT27_HISTORY_DIR", history, 1);
    auto seam = std::make_unique<TRecordingSeam>();
    FSeam = seam.get();
    FSavedSeam = SetUiSeam(std::move(seam));
}

void TWindowTest::TearDown()
{
    if (FWindow) {
        FWindow->close();
        Pump();
        FWindow.reset();
    }
    Pump();
    if (FSim)
        FSim->Stop();
    FSim.reset();
    SetUiSeam(std::move(FSavedSeam));
    FSeam = nullptr;
    ::unsetenv("KVT27_HISTORY_DIR");
    if (!FHistoryDir.empty())
        std::system(("rm -rf '" + FHistoryDir + "'").c_str());
}

sim::TSimulator& TWindowTest::StartSim(const sim::TConverterConfig& Config)
{
    if (FSim)
        FSim->Stop();
    FSim = std::make_unique<sim::TSimulator>(Config);
    FSim->Start();
    return *FSim;
}

TFrmMain& TWindowTest::Window()
{
    if (!FWindow) {
        FWindow = std::make_unique<TFrmMain>();
        if (AboutBox() == nullptr)
            new TAboutBox(FWindow.get()); // owned by the window, as in the program
        FWindow->show();
        FWindow->activateWindow();
        QApplication::setActiveWindow(FWindow.get());
        Pump();
    }
    return *FWindow;
}

void TWindowTest::TypePort(const QString& Text)
{
    auto* port = Control<QComboBox>("CmbBxPort");
    port->lineEdit()->clear();
    QTest::keyClicks(port->lineEdit(), Text);
}

void TWindowTest::PressConnect()
{
    Click(Control<QAbstractButton>("SpdBtnConnect"));
    Pump();
}

bool TWindowTest::ConnectToSim(const sim::TConverterConfig& Config)
{
    StartSim(Config);
    Window();
    TypePort(QString::fromStdString(FSim->DevicePath()));
    PressConnect();
    return Window().PanelConfig->isVisible();
}

void TWindowTest::Click(QAbstractButton* Button)
{
    ASSERT_NE(Button, nullptr);
    // A control on another page is reached the way the user reaches it: its tab first.
    TPageControl* pages = Window().PgControl;
    for (int i = 0; i < pages->count(); ++i)
        if (pages->widget(i)->isAncestorOf(Button) && pages->currentIndex() != i && pages->isTabVisible(i))
            pages->setCurrentIndex(i);
    // A radio button takes clicks on its indicator and caption only, so aim at the indicator.
    const QPoint at = qobject_cast<QRadioButton*>(Button) != nullptr
        ? QPoint(std::min(8, Button->width() / 2), Button->height() / 2)
        : Button->rect().center();
    QTest::mouseClick(Button, Qt::LeftButton, Qt::NoModifier, at);
}

void TWindowTest::Choose(const char* ActionName)
{
    auto* a = Control<QAction>(ActionName);
    ASSERT_NE(a, nullptr);
    a->trigger();
}

void TWindowTest::Pump(int Ms)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
        if (Ms > 0)
            QThread::msleep(2);
    } while (t.elapsed() < Ms);
}

bool TWindowTest::WaitUntil(const std::function<bool()>& Done, int Ms)
{
    QElapsedTimer t;
    t.start();
    while (!Done()) {
        if (t.elapsed() > Ms)
            return false;
        Pump(5);
    }
    return true;
}

std::vector<TFrame> TWindowTest::Frames()
{
    return FSim ? FSim->Received() : std::vector<TFrame>{};
}

void TWindowTest::ClearFrames()
{
    if (FSim)
        FSim->ClearReceived();
}

std::vector<int> TWindowTest::Commands()
{
    std::vector<int> out;
    for (const TFrame& f : Frames())
        out.push_back(f[0]);
    return out;
}

std::vector<TFrame> TWindowTest::FramesOf(uint8_t Command)
{
    std::vector<TFrame> out;
    for (const TFrame& f : Frames())
        if (f[0] == Command)
            out.push_back(f);
    return out;
}

std::vector<int> TWindowTest::ReadAddresses()
{
    std::vector<int> out;
    for (const TFrame& f : FramesOf(CmdReadWord))
        out.push_back(f[4]);
    return out;
}

int TWindowTest::LastWrite(uint8_t Address)
{
    int v = -1;
    for (const TFrame& f : FramesOf(CmdWriteWord))
        if (f[2] == Address)
            v = f[3] * 256 + f[4];
    return v;
}

std::vector<std::pair<int, int>> TWindowTest::Writes()
{
    std::vector<std::pair<int, int>> out;
    for (const TFrame& f : FramesOf(CmdWriteWord))
        out.emplace_back(f[2], f[3] * 256 + f[4]);
    return out;
}

std::vector<QString> TWindowTest::BoxTexts()
{
    std::vector<QString> out;
    for (const TBox& b : Boxes())
        out.push_back(b.Text);
    return out;
}

QString TWindowTest::StatusPanel(int Index)
{
    return Window().StatusBar->PanelText(Index);
}

} // namespace kvt::ui::test
