// Transaction cost against the simulator, and the connect sequence on an emulated 4800 Bd line.
#include "bench.h"

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/transactions.h"
#include "protocol/word_names.h"
#include "tools/sim/simulator.h"
#include "protocol/line_settings.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

void ConfigureLikeProgram(TComPort& Port, const std::string& Device)
{
    Port.SetDeviceName(Device);
    kvt::ApplyConverterLineSettings(Port);
    Port.SetActive(true);
}

void Expect(const kvt::TExchange& X, const char* What)
{
    if (!X.Ok())
        throw std::runtime_error(std::string("transaction failed: ") + What + ": " + kvt::FaultName(X.Fault));
}

} // namespace

KVT_BENCH("protocol: frame build and reply check")
{
    constexpr int n = 1000000;
    kvt::TCrc16 acc;
    unsigned sink = 0;
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        const kvt::TFrame f = kvt::BuildFrame(acc, kvt::CmdReadWord, 17, 0, 0, static_cast<uint8_t>(i));
        const std::string s = kvt::FrameToString(f);
        sink += kvt::ReplyValid(acc, s, kvt::CmdReadWord) ? 1u : 0u;
    }
    const double ms = MsSince(start);
    if (sink != n)
        throw std::runtime_error("frame check rejected a good frame");
    bench::Figure("build + check of one frame", ms * 1e6 / n, "ns");
}

KVT_BENCH("protocol: transactions against a simulator answering at once")
{
    kvt::sim::TSimulator sim;
    sim.Start();
    TComPort port;
    ConfigureLikeProgram(port, sim.DevicePath());
    int station = 17;
    kvt::TTransactions t(port, station, {});
    for (int i = 0; i < 50; ++i)
        Expect(t.Send(kvt::CmdReadWord, 4), "warm-up");

    constexpr int n = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i)
        Expect(t.Send(kvt::CmdReadWord, kvt::LoadEEOrder[static_cast<std::size_t>(i) % kvt::LoadEEOrder.size()]),
            "read word");
    const double ms = MsSince(start);
    port.SetActive(false);
    sim.Stop();
    bench::Figure("Send (read word) per second", n * 1000.0 / ms, "1/s");
    bench::Figure("time per Send, software and pseudo-terminal only", ms * 1000.0 / n, "us");
}

KVT_BENCH("protocol: identification and settings load at 4800 Bd")
{
    kvt::sim::TSimulator sim;
    sim.SetFaults({.LineBaud = 4800});
    sim.Start();
    TComPort port;
    ConfigureLikeProgram(port, sim.DevicePath());
    int station = 17;
    kvt::TTransactions t(port, station, {});

    constexpr int rounds = 3;
    double best = 1e300, total = 0;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        Expect(t.Send(kvt::CmdIdentify, 0), "identify");
        Expect(t.Send(kvt::CmdReadVersion, 0), "version");
        Expect(t.Send(kvt::CmdReadTemperature, 0), "temperature");
        Expect(t.Send(kvt::CmdReadConfig, 0), "configuration");
        for (uint8_t address : kvt::LoadEEOrder)
            Expect(t.Send(kvt::CmdReadWord, address), "read word");
        const double ms = MsSince(start);
        best = std::min(best, ms);
        total += ms;
    }
    port.SetActive(false);
    sim.Stop();
    bench::Figure("22 transactions (4 identification + 18 reads), best", best, "ms");
    bench::Figure("22 transactions, mean of 3", total / rounds, "ms");
    bench::Figure("line's own limit for 22 transactions at 4800 Bd", bench::LineLimitMs(22, 4800), "ms");
}
