// Test fixtures: a pseudo-terminal whose slave the port opens, and a stand-in for the program's
// user-interface thread that runs the calls the event thread hands over.
#pragma once

#include "serial/comport.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>

using namespace std::chrono_literals;

class TPty {
public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    const std::string& SlavePath() const { return FSlave; }
    int Master() const { return FMaster; }
    void Write(const std::string& Bytes);
    // Reads until Count bytes came or Timeout passed.
    std::string Read(size_t Count, std::chrono::milliseconds Timeout = 5s);
    // The slave's settings (termios requests on the master act on the slave).
    termios Settings() const;
    void SetSettings(const termios& T);
    // The other end goes away: the slave hangs up.
    void CloseMaster();

private:
    int FMaster = -1;
    std::string FSlave;
};

// The "user-interface thread" is the test's own thread: it runs handed-over calls while it waits
// in RunUntil, as an event loop would.
class TUiLoop {
public:
    TUiLoop();
    ~TUiLoop();
    bool RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout = 10s);
    void RunFor(std::chrono::milliseconds Time);
    size_t Queued();
    std::thread::id Id() const { return FId; }

private:
    struct TItem {
        const std::function<void()>* Call;
        bool Done = false;
        std::exception_ptr Error;
    };
    void Post(const std::function<void()>& Call);
    bool RunOne(std::chrono::milliseconds Wait);

    std::thread::id FId = std::this_thread::get_id();
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TItem*> FQueue;
    bool FClosing = false;
};

// Entries in /proc/self/fd.
int OpenDescriptorCount();

// Waits until every event thread has ended.
bool EventThreadsEnded(std::chrono::milliseconds Timeout = 5s);

// An open port on the slave with the program's line settings and time limits.
void ConfigureLikeTheProgram(TComPort& Port, const std::string& Device);
