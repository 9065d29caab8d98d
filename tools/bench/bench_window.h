// What the window benchmarks share: the application object and a seam that stands in for the user.
#pragma once

#ifdef KVT_HAVE_UI

#include "ui/errorreport.h"
#include "ui/uiseam.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace bench {

// Answers every box silently and never waits; TimerPeriod, when set, replaces every timer period.
class TQuietSeam : public kvt::ui::TUiSeam {
public:
    int Boxes = 0;
    int TimerPeriod = 0;
    void ShowBox(QWidget*, kvt::ui::TBoxKind, const QString&, const QString&) override { ++Boxes; }
    std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    void Sleep(int) override {}
    int TimerInterval(int Ms) override { return TimerPeriod > 0 ? TimerPeriod : Ms; }
};

// The application with the program's runtime, created when none exists yet (offscreen without a
// display); the result owns it.
inline std::unique_ptr<QApplication> EnsureApplication()
{
    std::unique_ptr<QApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "kvt27-bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        // The windows measured here start as on a first run and leave the user's settings alone.
        static QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    }
    kvt::ui::InstallRuntime();
    return app;
}

} // namespace bench

#endif
