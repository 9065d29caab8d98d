// Main window figures: building the window, and a whole connect (identification, eighteen reads,
// the write-backs) against the simulator on a pseudo-terminal, instantly and at the line's 4800 Bd;
// what the line's log costs with its window closed and open.
#include "bench.h"

#ifdef KVT_HAVE_UI

#include "protocol/converter_session.h"
#include "protocol/frame.h"
#include "protocol/line_log.h"
#include "protocol/line_settings.h"
#include "tools/sim/simulator.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"
#include "ui/linelogwindow.h"
#include "ui/uiseam.h"
#include "bench_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>
#include <chrono>
#include <time.h>
#include <vector>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

double Median(std::vector<double>& Values)
{
    std::sort(Values.begin(), Values.end());
    return Values.empty() ? 0 : Values[Values.size() / 2];
}

// The processor time this thread has used, in ms (the simulator's thread not counted).
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

KVT_BENCH("ui: main window and connect")
{
    auto app = bench::EnsureApplication();
    auto seam = std::make_unique<bench::TQuietSeam>();
    bench::TQuietSeam* quiet = seam.get();
    auto saved = kvt::ui::SetUiSeam(std::move(seam));

    constexpr int Windows = 20;
    auto start = Clock::now();
    for (int i = 0; i < Windows; ++i) {
        kvt::ui::TFrmMain w;
        QCoreApplication::processEvents();
    }
    bench::Figure("build the main window", MsSince(start) / Windows, "ms");

    // A first connect writes back what its buttons check; a reload finds them checked and only
    // identifies and reads. Each is set beside the least time its own transactions take on the
    // line, with the window shown, so that its repaints are paid as the user's window pays them,
    // and beside a bare session doing the same identification and load on the same simulator in
    // the same round. The simulator's own timing varies by a few tenths of a millisecond a
    // transaction, so the wall-clock figures are medians, and the thread's processor time, which
    // that does not touch, is given too.
    for (int baud : {0, 4800}) {
        kvt::sim::TSimulator sim{kvt::sim::TConverterConfig{}};
        sim.Start();
        kvt::sim::TFaults faults;
        faults.LineBaud = baud;
        sim.SetFaults(faults);
        const int rounds = baud == 0 ? 10 : 5;
        std::vector<double> bareMs, bareCpu, firstMs, firstCpu, reloadMs, reloadCpu;
        uint64_t firstFrames = 0, reloadFrames = 0;
        for (int i = 0; i < rounds; ++i) {
            {
                TComPort port;
                port.SetDeviceName(sim.DevicePath());
                kvt::ApplyConverterLineSettings(port);
                port.SetActive(true);
                kvt::TConverterSession bare(port);
                bare.NewStationAddress();
                const double cpu = ThreadCpuMs();
                start = Clock::now();
                bare.Identify();
                bare.LoadSettings();
                bareMs.push_back(MsSince(start) / 22);
                bareCpu.push_back((ThreadCpuMs() - cpu) / 22);
                port.SetActive(false);
            }
            kvt::ui::TFrmMain w;
            w.show();
            w.CmbBxPort->lineEdit()->setText(QString::fromStdString(sim.DevicePath()));
            QCoreApplication::processEvents();
            uint64_t frames = sim.Counters().Frames;
            double cpu = ThreadCpuMs();
            start = Clock::now();
            w.Connect();
            firstMs.push_back(MsSince(start));
            firstCpu.push_back(ThreadCpuMs() - cpu);
            firstFrames = sim.Counters().Frames - frames;
            QCoreApplication::processEvents();
            frames = sim.Counters().Frames;
            cpu = ThreadCpuMs();
            start = Clock::now();
            w.SpdBtnReloadClick(nullptr);
            reloadMs.push_back(MsSince(start));
            reloadCpu.push_back(ThreadCpuMs() - cpu);
            reloadFrames = sim.Counters().Frames - frames;
            QCoreApplication::processEvents();
            w.close();
        }
        sim.Stop();
        const std::string line = baud == 0 ? "instant line" : "4800 Bd line";
        const double barePerTransaction = Median(bareMs);
        const double bareCpuPerTransaction = Median(bareCpu);
        auto report = [&](const char* What, std::vector<double>& Ms, std::vector<double>& Cpu, uint64_t Frames) {
            const int n = static_cast<int>(Frames);
            const double ms = Median(Ms);
            bench::Figure(std::string(What) + ", " + line + " (" + std::to_string(n) + " transactions)", ms, "ms");
            if (baud == 0) {
                bench::Figure("  per transaction", ms / n, "ms");
                return;
            }
            const double limit = bench::LineLimitMs(n, baud);
            bench::Figure("  the line's own limit for them", limit, "ms");
            bench::Figure("  ratio to the limit", ms / limit, "x");
            bench::Figure("  a bare session's time per transaction", barePerTransaction, "ms");
            bench::Figure("  the window's own cost per transaction", ms / n - barePerTransaction, "ms");
            bench::Figure("  the same in processor time", Median(Cpu) / n - bareCpuPerTransaction, "ms");
        };
        report("first connect", firstMs, firstCpu, firstFrames);
        report("reload", reloadMs, reloadCpu, reloadFrames);
    }
    if (quiet->Boxes != 0)
        bench::Figure("unexpected message boxes", quiet->Boxes, "");
    kvt::ui::SetUiSeam(std::move(saved));
}

KVT_BENCH("ui: line log")
{
    auto app = bench::EnsureApplication();
    auto saved = kvt::ui::SetUiSeam(std::make_unique<bench::TQuietSeam>());

    // What each transaction costs the log while its window is closed: a copy into the ring.
    kvt::TExchange x;
    x.Request = kvt::BuildFrame(kvt::CmdReadWord, 17, 0, 0, 4);
    x.Reply = kvt::FrameToString(kvt::BuildFrame(kvt::CmdReadWord, 0, 0, 0, 3));
    x.ElapsedMs = 29;
    x.Started = std::chrono::system_clock::now();
    constexpr int Adds = 1000000;
    kvt::TLineLog ring(kvt::ui::TFrmMain::LineLogCapacity);
    auto start = Clock::now();
    for (int i = 0; i < Adds; ++i)
        ring.Add(x);
    bench::Figure("keep one transaction (the ring full)", MsSince(start) * 1e6 / Adds, "ns");

    // A whole first connect on an instant line (the log's share is largest there), with the log
    // window closed and open; the open window's text is made at the next turn of the event loop,
    // which is counted.
    kvt::sim::TSimulator sim{kvt::sim::TConverterConfig{}};
    sim.Start();
    constexpr int Rounds = 10;
    double closedMs = 0, openMs = 0;
    uint64_t frames = 0;
    for (int i = 0; i < 2 * Rounds; ++i) {
        const bool open = i % 2 == 1;
        kvt::ui::TFrmMain w;
        w.show();
        w.CmbBxPort->lineEdit()->setText(QString::fromStdString(sim.DevicePath()));
        if (open)
            w.MCommLogClick(nullptr);
        QCoreApplication::processEvents();
        const uint64_t before = sim.Counters().Frames;
        start = Clock::now();
        w.Connect();
        QCoreApplication::processEvents();
        (open ? openMs : closedMs) += MsSince(start);
        frames = sim.Counters().Frames - before;
        if (open && w.FrmLineLog->MemoLog->blockCount() < static_cast<int>(frames))
            bench::Figure("log window missed lines", frames - w.FrmLineLog->MemoLog->blockCount(), "");
        w.close();
    }
    sim.Stop();
    const std::string n = " (" + std::to_string(frames) + " transactions)";
    bench::Figure("first connect, log window closed" + n, closedMs / Rounds, "ms");
    bench::Figure("first connect, log window open" + n, openMs / Rounds, "ms");

    // Opening the window on a full log: every kept transaction made text at once.
    kvt::ui::TLineLogWindow view(ring, kvt::ui::TFrmMain::LineLogCapacity * 3, nullptr);
    start = Clock::now();
    view.show();
    QCoreApplication::processEvents();
    bench::Figure("open the log window on a full log (" + std::to_string(ring.Size()) + " transactions)", MsSince(start), "ms");
    view.close();
    kvt::ui::SetUiSeam(std::move(saved));
}

#endif
