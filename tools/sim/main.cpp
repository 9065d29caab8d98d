// kvt27-sim: see --help and README.md.
#include "tools/sim/options.h"
#include "serial/simregistry.h"
#include "tools/sim/simulator.h"
#include "kvt_version.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    using namespace kvt::sim;
    TSimSetup setup;
    try {
        setup = ParseSimArgs(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvt27-sim: %s\n", e.what());
        return 2;
    }
    if (setup.Help || setup.Version) {
        const std::string text =
            setup.Help ? SimHelpText() : std::string("kvt27-sim ") + kvt::ProgramVersion + "\n" + kvt::ProgramCopyright;
        if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
            std::perror("kvt27-sim: standard output");
            return 1;
        }
        return 0;
    }

    // Signals are taken by sigtimedwait below; every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    TSimulator sim(setup.Converter);
    sim.SetFaults(setup.Faults);
    if (setup.Trace)
        sim.SetTrace([](const std::string& Line) {
            std::fprintf(stderr, "%s\n", Line.c_str());
            std::fflush(stderr);
        });
    try {
        sim.Start();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvt27-sim: %s\n", e.what());
        return 1;
    }
    const std::string path = sim.DevicePath();
    if (!setup.Link.empty()) {
        ::unlink(setup.Link.c_str());
        if (::symlink(path.c_str(), setup.Link.c_str()) != 0) {
            std::perror(("kvt27-sim: link " + setup.Link).c_str());
            sim.Stop();
            return 1;
        }
    }
    // Listed for the program's port list while it runs; a failure costs only the listing.
    std::unique_ptr<kvt::TSimPortRegistration> registration;
    if (setup.Register) {
        registration = std::make_unique<kvt::TSimPortRegistration>(path);
        if (!registration->Registered())
            std::fprintf(stderr, "kvt27-sim: the port is not listed for kvt27-config: %s\n",
                registration->Error().c_str());
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    for (;;) {
        const timespec poll{0, 200 * 1000 * 1000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &poll);
        if (sig > 0)
            break;
        if (sim.HungUp()) {
            std::fprintf(stderr, "kvt27-sim: line hung up\n");
            break;
        }
    }
    registration.reset();
    sim.Stop();
    if (!setup.Link.empty())
        ::unlink(setup.Link.c_str());
    return 0;
}
