#include "ui/errorreport.h"

#include "serial/comport.h"
#include "ui/qtsynchronizer.h"
#include "ui/uiseam.h"

#include <QString>

namespace kvt::ui {

namespace detail {

TCollector*& CurrentCollector()
{
    static thread_local TCollector* current = nullptr;
    return current;
}

bool Collect(std::exception_ptr Error)
{
    TCollector* c = CurrentCollector();
    if (c == nullptr)
        return false;
    if (!c->Pending)
        c->Pending = std::move(Error);
    return true;
}

} // namespace detail

void ShowException(const std::exception& Error)
{
    if (dynamic_cast<const EAbort*>(&Error) != nullptr)
        return;
    ErrorBox(QApplication::activeWindow(), FromSystemText(Error.what()));
}

void ShowException(std::exception_ptr Error)
{
    if (!Error)
        return;
    try {
        std::rethrow_exception(Error);
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        try {
            ShowException(e);
        } catch (...) {
            // A report that fails itself has nowhere left to go.
        }
    } catch (...) {
        try {
            ErrorBox(QApplication::activeWindow(), QStringLiteral("Unknown error"));
        } catch (...) {
        }
    }
}

TModalScope::TModalScope() : FSaved(detail::CurrentCollector())
{
    detail::CurrentCollector() = nullptr;
}

TModalScope::~TModalScope()
{
    detail::CurrentCollector() = FSaved;
}

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

void InstallRuntime()
{
    InstallQtSynchronizer();
    TCustomComPort::SetExceptionDisplay([](const std::exception& E) {
        try {
            ShowException(E);
        } catch (...) {
        }
    });
}

} // namespace kvt::ui
