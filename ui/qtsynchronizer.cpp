#include "ui/qtsynchronizer.h"

#include "serial/comport.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <set>

namespace kvt::ui {

namespace {

struct TPendingCall {
    std::function<void()> Call;
    std::exception_ptr Error;
    bool Finished = false;
};

// One lock for every waiting call: dispatches are rare, and a single condition keeps the
// shutdown path simple.
std::mutex gLock;
std::condition_variable gDone;
std::set<std::shared_ptr<TPendingCall>> gWaiting;
bool gShutDown = false;
class TDispatcher;
TDispatcher* gDispatcher = nullptr; // guarded by gLock

// Lives on the GUI thread; queued calls are delivered through it, and its end releases every
// thread still waiting.
class TDispatcher : public QObject {
public:
    explicit TDispatcher(QObject* Parent) : QObject(Parent) {}
    ~TDispatcher() override
    {
        std::lock_guard<std::mutex> lock(gLock);
        gShutDown = true;
        gDispatcher = nullptr;
        for (const auto& p : gWaiting)
            p->Finished = true;
        gWaiting.clear();
        gDone.notify_all();
    }
};


void RunPending(const std::shared_ptr<TPendingCall>& Pending)
{
    std::exception_ptr error;
    try {
        Pending->Call();
    } catch (...) {
        error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(gLock);
    Pending->Error = error;
    Pending->Finished = true;
    gWaiting.erase(Pending);
    gDone.notify_all();
}

} // namespace

void RunOnGuiThread(const std::function<void()>& Call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        Call();
        return;
    }
    auto pending = std::make_shared<TPendingCall>();
    pending->Call = Call;
    {
        std::lock_guard<std::mutex> lock(gLock);
        if (gShutDown || gDispatcher == nullptr)
            return;
        gWaiting.insert(pending);
        QMetaObject::invokeMethod(gDispatcher, [pending] { RunPending(pending); }, Qt::QueuedConnection);
    }
    std::unique_lock<std::mutex> lock(gLock);
    gDone.wait(lock, [&] { return pending->Finished; });
    if (pending->Error)
        std::rethrow_exception(pending->Error);
}

void InstallQtSynchronizer()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(gLock);
        if (gDispatcher == nullptr) {
            auto* d = new TDispatcher(nullptr);
            d->moveToThread(app->thread());
            d->setParent(app);
            gDispatcher = d;
            gShutDown = false;
        }
    }
    TCustomComPort::SetSynchronizer([](const std::function<void()>& Call) { RunOnGuiThread(Call); });
}

} // namespace kvt::ui
