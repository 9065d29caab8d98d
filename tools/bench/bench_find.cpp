// Finding one converter among N ports, N-1 of them silent: every port asked at once against one
// port after another.
#include "bench.h"

#include "model/finder.h"
#include "platform/simregistry.h"
#include "tools/sim/simulator.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

} // namespace

KVT_BENCH("find: one converter among N ports (N-1 silent, the live one last)")
{
    char base[] = "/tmp/kvt-bench-find-XXXXXX";
    if (::mkdtemp(base) == nullptr)
        throw std::runtime_error("no temporary folder");
    const std::string root = base;
    struct TRemove {
        std::string Dir;
        ~TRemove()
        {
            std::error_code ec;
            std::filesystem::remove_all(Dir, ec);
        }
    } remove{root};

    kvt::TFindSetup setup;
    // An empty system of its own: only the simulators are candidates.
    setup.System.SysRoot = root + "/sys";
    setup.System.DevRoot = root + "/dev";
    setup.System.ProcRoot = root + "/proc";
    setup.System.SimRegistryDir = root + "/reg";
    // A frame at 4800 Bd, and the reply limit of the converter's line settings.
    const double bound = 1.2 * (800 + bench::LineLimitMs(1, 4800) / 2);
    bench::Figure("bound: 1.2 x (reply limit + a frame at 4800 Bd)", bound, "ms");
    for (const int n : {1, 4, 16}) {
        std::vector<std::unique_ptr<kvt::sim::TSimulator>> sims;
        std::vector<std::unique_ptr<kvt::TSimPortRegistration>> registered;
        for (int i = 0; i < n; ++i) {
            auto sim = std::make_unique<kvt::sim::TSimulator>();
            kvt::sim::TFaults f;
            f.Mute = i < n - 1;
            f.LineBaud = 4800;
            sim->SetFaults(f);
            sim->Start();
            registered.push_back(std::make_unique<kvt::TSimPortRegistration>(sim->DevicePath(), setup.System.SimRegistryDir));
            sims.push_back(std::move(sim));
        }
        auto start = Clock::now();
        const std::vector<kvt::TProbe> all = kvt::FindConverters(setup);
        const double atOnce = MsSince(start);
        if (kvt::ConvertersFound(all).size() != 1)
            throw std::runtime_error("the converter was not found among " + std::to_string(n) + " ports");
        start = Clock::now();
        for (const kvt::TPortInfo& p : kvt::ViewPorts(setup.System))
            if (!kvt::ConvertersFound(kvt::ProbePorts({p}, setup)).empty())
                break;
        const double oneByOne = MsSince(start);
        bench::Figure("N = " + std::to_string(n) + ": all at once", atOnce, "ms");
        bench::Figure("N = " + std::to_string(n) + ": one after another", oneByOne, "ms");
    }
}
