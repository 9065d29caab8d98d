// Main window figures: building the window, and a whole connect (identification, eighteen reads,
// the write-backs) against the simulator on a pseudo-terminal, instantly and at the line's 4800 Bd.
#include "bench.h"

#ifdef KVT_HAVE_UI

#include "tools/sim/simulator.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"
#include "ui/uiseam.h"
#include "bench_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
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

    for (int baud : {0, 4800}) {
        kvt::sim::TConverterConfig config;
        kvt::sim::TSimulator sim(config);
        sim.Start();
        kvt::sim::TFaults faults;
        faults.LineBaud = baud;
        sim.SetFaults(faults);
        kvt::ui::TFrmMain w;
        w.CmbBxPort->lineEdit()->setText(QString::fromStdString(sim.DevicePath()));
        const int rounds = baud == 0 ? 10 : 2;
        start = Clock::now();
        for (int i = 0; i < rounds; ++i)
            w.Connect();
        const double ms = MsSince(start) / rounds;
        bench::Figure(baud == 0 ? "connect and load, instant line" : "connect and load, 4800 Bd line", ms, "ms");
        bench::Figure(baud == 0 ? "  per transaction, instant line" : "  per transaction, 4800 Bd line",
                      ms / static_cast<double>(sim.Counters().Frames) * rounds, "ms");
        w.close();
        sim.Stop();
    }
    if (quiet->Boxes != 0)
        bench::Figure("unexpected message boxes", quiet->Boxes, "");
    kvt::ui::SetUiSeam(std::move(saved));
}

#endif
