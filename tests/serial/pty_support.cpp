#include "pty_support.h"

#include "serial/comthread.h"
#include "protocol/line_settings.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

TPty::TPty()
{
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
        throw std::runtime_error("no pseudo-terminal");
    char Name[128];
    if (::ptsname_r(FMaster, Name, sizeof Name) != 0)
        throw std::runtime_error("no pseudo-terminal name");
    FSlave = Name;
}

TPty::~TPty()
{
    CloseMaster();
}

void TPty::Write(const std::string& Bytes)
{
    size_t Done = 0;
    while (Done < Bytes.size()) {
        ssize_t n = ::write(FMaster, Bytes.data() + Done, Bytes.size() - Done);
        if (n < 0 && errno != EINTR)
            throw std::runtime_error("master write failed");
        if (n > 0)
            Done += static_cast<size_t>(n);
    }
}

std::string TPty::Read(size_t Count, std::chrono::milliseconds Timeout)
{
    std::string Data;
    auto End = std::chrono::steady_clock::now() + Timeout;
    while (Data.size() < Count) {
        auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(End - std::chrono::steady_clock::now());
        if (Left <= 0ms)
            break;
        pollfd P{FMaster, POLLIN, 0};
        if (::poll(&P, 1, static_cast<int>(Left.count())) <= 0)
            continue;
        char Buffer[65536];
        ssize_t n = ::read(FMaster, Buffer, std::min(sizeof Buffer, Count - Data.size()));
        if (n <= 0)
            break;
        Data.append(Buffer, static_cast<size_t>(n));
    }
    return Data;
}

termios TPty::Settings() const
{
    termios T{};
    ::tcgetattr(FMaster, &T);
    return T;
}

void TPty::SetSettings(const termios& T)
{
    ::tcsetattr(FMaster, TCSANOW, &T);
}

void TPty::CloseMaster()
{
    if (FMaster >= 0)
        ::close(FMaster);
    FMaster = -1;
}

TUiLoop::TUiLoop()
{
    TCustomComPort::SetSynchronizer([this](const std::function<void()>& Call) { Post(Call); });
}

TUiLoop::~TUiLoop()
{
    // Calls still on their way check that their port has stopped them; let them run, then let the
    // threads end before the next test.
    {
        std::lock_guard<std::mutex> Guard(FLock);
        FClosing = true;
    }
    while (RunOne(0ms)) {
    }
    TCustomComPort::SetSynchronizer(nullptr);
    EventThreadsEnded();
}

void TUiLoop::Post(const std::function<void()>& Call)
{
    std::unique_lock<std::mutex> Lock(FLock);
    if (FClosing || std::this_thread::get_id() == FId) {
        Lock.unlock();
        Call();
        return;
    }
    TItem Item{&Call, false, nullptr};
    FQueue.push_back(&Item);
    FChanged.notify_all();
    FChanged.wait(Lock, [&] { return Item.Done; });
    if (Item.Error)
        std::rethrow_exception(Item.Error);
}

bool TUiLoop::RunOne(std::chrono::milliseconds Wait)
{
    std::unique_lock<std::mutex> Lock(FLock);
    if (!FChanged.wait_for(Lock, Wait, [&] { return !FQueue.empty(); }))
        return false;
    TItem* Item = FQueue.front();
    FQueue.pop_front();
    Lock.unlock();
    try {
        (*Item->Call)();
    } catch (...) {
        Item->Error = std::current_exception();
    }
    Lock.lock();
    Item->Done = true;
    FChanged.notify_all();
    return true;
}

bool TUiLoop::RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout)
{
    auto End = std::chrono::steady_clock::now() + Timeout;
    while (!Done()) {
        if (std::chrono::steady_clock::now() >= End)
            return false;
        RunOne(10ms);
    }
    return true;
}

void TUiLoop::RunFor(std::chrono::milliseconds Time)
{
    auto End = std::chrono::steady_clock::now() + Time;
    while (std::chrono::steady_clock::now() < End)
        RunOne(10ms);
}

size_t TUiLoop::Queued()
{
    std::lock_guard<std::mutex> Guard(FLock);
    return FQueue.size();
}

int OpenDescriptorCount()
{
    int Count = 0;
    if (DIR* Dir = ::opendir("/proc/self/fd")) {
        while (::readdir(Dir) != nullptr)
            ++Count;
        ::closedir(Dir);
    }
    return Count;
}

bool EventThreadsEnded(std::chrono::milliseconds Timeout)
{
    auto End = std::chrono::steady_clock::now() + Timeout;
    while (TComThread::RunningCount() != 0) {
        if (std::chrono::steady_clock::now() >= End)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

void ConfigureLikeTheProgram(TComPort& Port, const std::string& Device)
{
    Port.SetDeviceName(Device);
    kvt::ApplyConverterLineSettings(Port);
}
