// The program's general error report: one place that turns an error escaping a handler into an
// error box, so that no exception ever reaches Qt's event loop.
#pragma once

#include <QApplication>

#include <exception>
#include <utility>

namespace kvt::ui {

// Shows the error's text in an error box through the seam; the silent abort shows nothing.
void ShowException(std::exception_ptr Error);
void ShowException(const std::exception& Error);

namespace detail {
// Errors raised by handlers that ran because the program itself changed a control (a radio
// button checked by the program, a field set by it) belong to the code that changed it, as if
// the handler had been called directly. A collector catches them there; a modal loop hides the
// collectors below it, since what runs inside it was not caused by the program's change.
struct TCollector {
    std::exception_ptr Pending;
    TCollector* Outer = nullptr;
};
TCollector*& CurrentCollector();
bool Collect(std::exception_ptr Error);
} // namespace detail

// Runs one event handler: an error it raises is shown, or handed to the program code that
// caused the handler to run (see RaisingFrom).
template <typename F>
void RunHandler(F&& Handler) noexcept
{
    try {
        std::forward<F>(Handler)();
    } catch (...) {
        auto error = std::current_exception();
        if (!detail::Collect(error))
            ShowException(error);
    }
}

// Runs Change, which may make handlers run (checking a radio button, setting a field), and
// raises here the first error such a handler raised.
template <typename F>
void RaisingFrom(F&& Change)
{
    detail::TCollector collector;
    collector.Outer = detail::CurrentCollector();
    detail::CurrentCollector() = &collector;
    try {
        std::forward<F>(Change)();
    } catch (...) {
        detail::CurrentCollector() = collector.Outer;
        throw;
    }
    detail::CurrentCollector() = collector.Outer;
    if (collector.Pending)
        std::rethrow_exception(collector.Pending);
}

// Marks a modal loop (message box, dialog): handlers that run inside it report their own errors.
class TModalScope {
public:
    TModalScope();
    ~TModalScope();
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;

private:
    detail::TCollector* FSaved;
};

// The application object: the last line of defence for event handlers that are not wired
// through RunHandler (virtual event overrides of the program's own widgets).
class TApplication : public QApplication {
public:
    TApplication(int& Argc, char** Argv);
    bool notify(QObject* Receiver, QEvent* Event) override;
};

// Installs the Qt synchronizer and the error report as the serial component's dispatcher and
// exception display. Run once, after the application object exists.
void InstallRuntime();

} // namespace kvt::ui
