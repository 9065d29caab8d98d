// kvt27-window-scenario: the program's main window in one scenario a technician runs, on a real
// display and against a kvt27-sim on a real port. The same program runs on Linux and, built for
// Windows, under wine (scripts/wine-window-test.sh), where the frames the simulator received are
// compared with those of the Linux run.
//
//   kvt27-window-scenario --port PORT --out FOLDER [--shots]
//
// The window starts (with no remembered settings), connects on PORT, its settings are loaded; a
// kind button writes its word; three datalog samples are recorded and exported as CSV; the work
// record is written as a PDF; the window closes (the output is released). Its controls are used
// as a user uses them; the seam stands in for the user at message boxes and file dialogs, as in
// the window tests. FOLDER receives the CSV, the PDF and window.txt: the boxes shown, the status
// bar and the settings the window kept. With --shots the scenario stops at each of its screens
// until the file shot-NAME.wait in FOLDER has been removed (by whoever takes the screenshot).
// Exit status 0 when every step did what it should.
#include "ui/aboutbox.h"
#include "ui/controls.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"
#include "ui/uiseam.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QThread>

#include <cstdio>
#include <deque>
#include <functional>
#include <stdexcept>

using namespace kvt::ui;

namespace {

QStringList Report;

void Note(const QString& Line)
{
    Report << Line;
    std::printf("%s\n", Line.toUtf8().constData());
    std::fflush(stdout);
}

[[noreturn]] void Fail(const QString& Why)
{
    throw std::runtime_error(Why.toStdString());
}

// The user at the boxes and dialogs: every box is written down, every question answered Yes, the
// save dialogs get the names prepared for them.
class TScenarioSeam : public TUiSeam {
public:
    std::deque<QString> SaveNames;

    void ShowBox(QWidget*, TBoxKind Kind, const QString& Text, const QString& Detail) override
    {
        Note(QStringLiteral("box %1: %2%3").arg(static_cast<int>(Kind)).arg(Text, Detail.isEmpty() ? QString() : " / " + Detail));
    }
    std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&) override
    {
        if (SaveNames.empty())
            return std::nullopt;
        const QString name = SaveNames.front();
        SaveNames.pop_front();
        return name;
    }
    bool Ask(QWidget*, const QString& Text, const QString&) override
    {
        Note(QStringLiteral("question: %1").arg(Text));
        return true;
    }
    void Sleep(int Ms) override { QThread::msleep(static_cast<unsigned long>(Ms)); }
};

void Pump(int Ms)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    } while (t.elapsed() < Ms);
}

void WaitFor(const QString& What, const std::function<bool()>& Done, int Ms = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!Done()) {
        if (t.elapsed() > Ms)
            Fail("waited in vain for " + What);
        Pump(5);
    }
}

template <typename T>
T* Control(QWidget& Window, const char* Name)
{
    T* c = Window.findChild<T*>(QString::fromLatin1(Name));
    if (c == nullptr)
        Fail(QStringLiteral("no control %1").arg(QLatin1String(Name)));
    return c;
}

// A click as the user makes it: on the button's tab first when it lies on another page.
void Click(TFrmMain& W, QAbstractButton* Button)
{
    for (int i = 0; i < W.PgControl->count(); ++i)
        if (W.PgControl->widget(i)->isAncestorOf(Button) && W.PgControl->currentIndex() != i)
            W.PgControl->setCurrentIndex(i);
    if (!Button->isVisible() || !Button->isEnabled())
        Fail("cannot click " + Button->objectName());
    Button->click();
    Pump(50);
}

class TScenario {
public:
    TScenario(QString Port, QString Out, bool Shots) : FPort(std::move(Port)), FOut(std::move(Out)), FShots(Shots) {}

    void Run()
    {
#ifdef _WIN32
        // The zip's own platform plugin, not a stand-in.
        if (QGuiApplication::platformName() != QLatin1String("windows"))
            Fail("the platform plugin is " + QGuiApplication::platformName());
#endif
        TFrmMain w;
        TAboutBox about(&w);
        w.show();
        WaitFor(QStringLiteral("the window"), [&] { return w.isVisible() && w.PanelConnect->isVisible(); });
        Pump(300);
        Shot("start");
        // The port list as the user opens it (the systems' lists differ: not compared).
        w.CmbBxPort->showPopup();
        Pump(300);
        Shot("ports");
        w.CmbBxPort->hidePopup();

        // Connect: the port typed into the field, the connect button.
        w.CmbBxPort->setEditText(FPort);
        Click(w, w.SpdBtnConnect);
        WaitFor(QStringLiteral("the configuration panel"), [&] { return w.PanelConfig->isVisible(); });
        Note("connected: " + w.StatusBar->PanelText(0) + " | " + w.StatusBar->PanelText(3));
        if (w.StatusBar->PanelText(1) != FPort)
            Fail("the status bar names the port " + w.StatusBar->PanelText(1));
        Pump(300);
        Shot("connected");

        // A kind button: the input becomes 0-10 V, and its word is written.
        auto* voltage = Control<QRadioButton>(w, "RdBtnAIUH");
        if (voltage->isChecked())
            Fail("0-10 V is the input already");
        Click(w, voltage);
        if (!voltage->isChecked() || !w.PanelConfig->isVisible())
            Fail("the input did not become 0-10 V");
        Note("input: 0-10 V");

        // Three samples, one a second, and their CSV.
        w.PgControl->setCurrentWidget(w.TbDatalog);
        // "1 sec" picked from the list, as the box reports a user's pick.
        w.CmbBxDatalog->setCurrentIndex(0);
        emit w.CmbBxDatalog->activated(0);
        Click(w, w.SpdBtnDatalog);
        WaitFor(QStringLiteral("three samples"), [&] { return w.LblDtaCount->text() == QLatin1String("3"); });
        Click(w, w.SpdBtnDatalog);
        Note("samples: " + w.LblDtaCount->text() + ", last " + w.EdtDatalog->text());
        Pump(300);
        Shot("datalog");
        FSeam->SaveNames.push_back(FOut + QString::fromUtf8("/záznam měření.csv"));
        Click(w, w.SpdBtnSaveFile);
        if (!QFile::exists(FOut + QString::fromUtf8("/záznam měření.csv")))
            Fail("no CSV file");

        // The work record.
        FSeam->SaveNames.push_back(FOut + QString::fromUtf8("/pracovní záznam.pdf"));
        w.MFileExportRecord->trigger();
        Pump(100);
        QFile pdf(FOut + QString::fromUtf8("/pracovní záznam.pdf"));
        if (!pdf.open(QIODevice::ReadOnly) || !pdf.read(5).startsWith("%PDF-"))
            Fail("no PDF work record");

        // Closing releases the output.
        w.MFileClose->trigger();
        WaitFor(QStringLiteral("the window to close"), [&] { return !w.isVisible(); });
        Pump(200);
        Note("closed");

        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kvt27-config"),
                           QStringLiteral("kvt27-config"));
        Note("kept: port " + settings.value(QStringLiteral("port")).toString() + ", period "
             + settings.value(QStringLiteral("datalog/period")).toString());
    }

    TScenarioSeam* FSeam = nullptr;

private:
    // With --shots: waits until the screenshot has been taken.
    void Shot(const char* Name)
    {
        if (!FShots)
            return;
        const QString wait = FOut + QStringLiteral("/shot-%1.wait").arg(QLatin1String(Name));
        QFile(wait).open(QIODevice::WriteOnly);
        QElapsedTimer t;
        t.start();
        while (QFile::exists(wait) && t.elapsed() < 20000)
            Pump(20);
        QFile::remove(wait);
    }

    QString FPort, FOut;
    bool FShots;
};

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    InstallRuntime();
    QApplication::setApplicationName(QString::fromUtf8("Konfigurační program QD47_E"));
    QString port, out;
    bool shots = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            port = args[++i];
        else if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            out = args[++i];
        else if (args[i] == QLatin1String("--shots"))
            shots = true;
    }
    if (port.isEmpty() || out.isEmpty()) {
        std::fprintf(stderr, "usage: kvt27-window-scenario --port PORT --out FOLDER [--shots]\n");
        return 2;
    }
    out = QDir(out).absolutePath();
    // The window starts as on a machine where it never ran; on Linux its settings stay in FOLDER.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, out + QStringLiteral("/settings"));
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kvt27-config"), QStringLiteral("kvt27-config"))
        .clear();

    auto seam = std::make_unique<TScenarioSeam>();
    TScenario scenario(port, out, shots);
    scenario.FSeam = seam.get();
    SetUiSeam(std::move(seam));
    int status = 0;
    try {
        scenario.Run();
    } catch (const std::exception& e) {
        Note(QStringLiteral("FAIL: ") + QString::fromStdString(e.what()));
        status = 1;
    }
    QFile report(out + QStringLiteral("/window.txt"));
    if (report.open(QIODevice::WriteOnly))
        report.write((Report.join('\n') + '\n').toUtf8());
    return status;
}
