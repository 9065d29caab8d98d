// Datalog figures: one tick (sample text, table append, chart plot step) at a short and at a
// very long recording, the same tick in the window with its transaction and repaint, and the
// export of a million rows.
#include "bench.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "datalog/csv_export.h"
#include "datalog/log_table.h"
#include "datalog/sample_text.h"

#ifdef KVT_DATALOG_CHART
#include <QCoreApplication>
#include <QGuiApplication>

#include "datalog/trend_chart.h"
#endif

#ifdef KVT_HAVE_UI
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include "protocol/commands.h"
#include "tools/sim/simulator.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"
#include "ui/uiseam.h"
#include "bench_window.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point From) { return std::chrono::duration<double>(Clock::now() - From).count(); }

// Peak resident set size in kB, from /proc (VmHWM), or ru_maxrss where /proc has none.
long PeakKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 12, '\n');
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// Lowers the peak to the present size, so that the next peak belongs to what runs next.
bool ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// Millivolt input: texts with a decimal, the widest kind of sample.
std::string SampleFor(size_t I)
{
    const int value = static_cast<int>(I * 7919 % 117001) - 58500;
    return kvt::SampleDisplay(15, 5, value, ",").Text;
}

void TickFigures(size_t Samples, const char* Label)
{
#ifdef KVT_DATALOG_CHART
    kvt::TTrendChart chart;
    chart.DrawGraph(15, 5);
    chart.PlaceStart(0);
#endif
    kvt::TLogTable table;
    table.SetCell(0, "1 sec");
    for (size_t i = 0; i < Samples; ++i)
        table.Append(SampleFor(i));

    constexpr int Ticks = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < Ticks; ++i) {
        const auto sample = kvt::SampleDisplay(15, 5, (i * 613) % 117001 - 58500, ",");
        table.Append(sample.Text);
#ifdef KVT_DATALOG_CHART
        chart.PlotStep(sample.ChartValue);
#endif
    }
    bench::Figure(std::string("one tick, table holding ") + Label, Seconds(start) / Ticks * 1e6, "us");
}

} // namespace

KVT_BENCH("datalog: tick and export")
{
#ifdef KVT_DATALOG_CHART
    std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "kvt27-bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    TickFigures(10, "10 samples");
    TickFigures(1000000, "1,000,000 samples");

    constexpr size_t Rows = 1000000;
    kvt::TLogTable table;
    table.SetCell(0, "1 sec");
    auto start = Clock::now();
    for (size_t i = 0; i < Rows; ++i)
        table.Append(SampleFor(i));
    bench::Figure("fill the table with 1,000,000 samples", Seconds(start) * 1e3, "ms");
    bench::Figure("table memory at 1,000,000 samples", table.MemoryBytes() / 1048576.0, "MiB");

    char path[] = "/tmp/kvt-bench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("no temporary file for the export");
    close(fd);
#ifdef __GLIBC__
    malloc_trim(0); // so that memory freed above does not hide what the export takes
#endif
    const bool precise = ResetPeak();
    const long before = precise ? CurrentKb() : PeakKb();
    start = Clock::now();
    kvt::ExportCsv(table, path);
    const double elapsed = Seconds(start);
    const long peak = PeakKb();
    std::ifstream written(path, std::ios::binary | std::ios::ate);
    const double bytes = static_cast<double>(written.tellg());
    unlink(path);
    bench::Figure("export 1,000,000 rows", elapsed * 1e3, "ms");
    bench::Figure("export file size", bytes / 1048576.0, "MiB");
    bench::Figure(precise ? "export peak memory above resident size" : "export peak memory growth (ru_maxrss)",
                  static_cast<double>(peak - before) / 1024.0, "MiB");
}

#ifdef KVT_HAVE_UI

// What one tick costs in the window itself: the measure transaction, the field, the table, the
// count, the plot step and the repaint of the chart image, with a short and a very long log.
KVT_BENCH("datalog: window tick")
{
    auto app = bench::EnsureApplication();
    // The sampling timer never fires: the ticks are called one by one.
    auto seam = std::make_unique<bench::TQuietSeam>();
    bench::TQuietSeam* quiet = seam.get();
    quiet->TimerPeriod = 3600 * 1000;
    auto saved = kvt::ui::SetUiSeam(std::move(seam));

    kvt::sim::TSimulator sim(kvt::sim::TConverterConfig{});
    sim.Start();
    kvt::ui::TFrmMain w;
    w.show();
    w.CmbBxPort->lineEdit()->setText(QString::fromStdString(sim.DevicePath()));
    w.Connect();
    w.PgControl->setCurrentWidget(w.TbDatalog);
    w.CmbBxDatalog->setCurrentIndex(0);
    QCoreApplication::processEvents();

    constexpr int Ticks = 300;
    for (size_t samples : {size_t{10}, size_t{1000000}}) {
        w.SpdBtnDatalogClick(nullptr); // Start: an empty log
        for (size_t i = 0; i < samples; ++i)
            w.Datalog.Add(SampleFor(i));
        QCoreApplication::processEvents();
        const auto start = Clock::now();
        for (int i = 0; i < Ticks; ++i) {
            w.TmrDatalogTimer(nullptr);
            QCoreApplication::processEvents(); // the repaint
        }
        bench::Figure(samples == 10 ? "window tick with repaint, table holding 10 samples"
                                    : "window tick with repaint, table holding 1,000,000 samples",
                      Seconds(start) / Ticks * 1e6, "us");
        w.SpdBtnDatalogClick(nullptr); // Stop
    }

    auto start = Clock::now();
    for (int i = 0; i < Ticks; ++i)
        w.Model.Sample();
    bench::Figure("  of which the measure transaction (instant line)", Seconds(start) / Ticks * 1e6, "us");
    start = Clock::now();
    for (int i = 0; i < Ticks; ++i)
        w.ImgDatalog->repaint();
    bench::Figure("  of which the chart repaint", Seconds(start) / Ticks * 1e6, "us");

    if (quiet->Boxes != 0)
        bench::Figure("unexpected message boxes", quiet->Boxes, "");
    w.close();
    sim.Stop();
    kvt::ui::SetUiSeam(std::move(saved));
}

#endif
