// Serial port figures: transaction-shaped round trips against an echo peer on a pseudo-terminal,
// and what an open port with a line-error handler costs while nothing happens.
#include "bench.h"

#include "serial/comport.h"
#include "protocol/line_settings.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class TBenchPty {
public:
    TBenchPty()
    {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char Name[128];
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0
            || ::ptsname_r(FMaster, Name, sizeof Name) != 0)
            throw std::runtime_error("no pseudo-terminal");
        FSlave = Name;
    }
    ~TBenchPty() { ::close(FMaster); }
    TBenchPty(const TBenchPty&) = delete;
    TBenchPty& operator=(const TBenchPty&) = delete;
    int Master() const { return FMaster; }
    const std::string& Slave() const { return FSlave; }

private:
    int FMaster = -1;
    std::string FSlave;
};

// Answers every 7 bytes with the same 7 bytes until Stop.
void Echo(int Master, const std::atomic<bool>& Stop)
{
    char Frame[7];
    size_t Have = 0;
    while (!Stop) {
        pollfd P{Master, POLLIN, 0};
        if (::poll(&P, 1, 50) <= 0)
            continue;
        ssize_t n = ::read(Master, Frame + Have, sizeof Frame - Have);
        if (n <= 0)
            return;
        Have += static_cast<size_t>(n);
        if (Have == sizeof Frame) {
            if (::write(Master, Frame, sizeof Frame) != static_cast<ssize_t>(sizeof Frame))
                return;
            Have = 0;
        }
    }
}

void ConfigureLikeTheProgram(TComPort& Port, const std::string& Device)
{
    Port.SetDeviceName(Device);
    kvt::ApplyConverterLineSettings(Port);
    Port.SetOnLineError([](TCustomComPort*, TLineErrors) {});
}

double CpuSeconds()
{
    rusage Usage{};
    ::getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec)
        + static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

KVT_BENCH("serial: 7-byte request and 7-byte reply over a pseudo-terminal")
{
    TBenchPty Pty;
    TComPort Port;
    ConfigureLikeTheProgram(Port, Pty.Slave());
    Port.Open();
    std::atomic<bool> Stop{false};
    std::thread Peer(Echo, Pty.Master(), std::cref(Stop));

    const std::string Request("\xE8\x11\x00\x00\x02\x1B\x15", 7);
    std::string Reply(7, '\0');
    long Trips = 0;
    auto Start = Clock::now();
    const auto End = Start + std::chrono::seconds(2);
    try {
        while (Clock::now() < End) {
            Port.WriteString(Request);
            Port.WaitForWrite();
            Port.Read(Reply.data(), 7, true);
            if (Reply != Request)
                throw std::runtime_error("echo mismatch");
            ++Trips;
        }
    } catch (...) {
        Stop = true;
        Peer.join();
        throw;
    }
    const double Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
    Stop = true;
    Peer.join();
    bench::Figure("round trips per second (WriteString+WaitForWrite+Read)", Trips / Seconds, "1/s");
    bench::Figure("mean round trip", Seconds / static_cast<double>(Trips) * 1e6, "us");
}

KVT_BENCH("serial: idle open port with OnLineError assigned")
{
    TBenchPty Pty;
    TComPort Port;
    ConfigureLikeTheProgram(Port, Pty.Slave());
    Port.Open();
    const double Before = CpuSeconds();
    const auto Start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double Cpu = CpuSeconds() - Before;
    const double Wall = std::chrono::duration<double>(Clock::now() - Start).count();
    Port.Close();
    bench::Figure("process CPU time over 10 s idle", Cpu * 1e3, "ms");
    bench::Figure("share of one core", Cpu / Wall * 100.0, "%");
}
