// The program's main block: the application, the main window, the help box, the message loop.
#include "app/cmdline.h"
#include "platform/std_streams.h"
#include "ui/aboutbox.h"
#include "ui/controls.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"

#include <QString>

int main(int argc, char** argv)
{
    // Before anything opens a descriptor: a port must never become a standard stream.
    const kvt::platform::TClosedStreams closed = kvt::platform::OpenClosedStandardStreams();
    if (const int status = kvt::app::AnswerCommandLine(argc, argv, closed.Out); status >= 0)
        return status;
    kvt::ui::TApplication app(argc, argv);
    // The error report and the serial dispatcher first, so nothing created later misses them.
    kvt::ui::InstallRuntime();
    QApplication::setApplicationName(QString::fromUtf8("Konfigurační program QD47_E"));
    // Lets the desktop match the window with its installed entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("kvt27-config"));
    QApplication::setWindowIcon(kvt::ui::ProgramIcon());

    kvt::ui::TFrmMain frmMain;
    kvt::ui::TAboutBox aboutBox(&frmMain);
    frmMain.show();
    return app.exec();
}
