// kvt27-sim: see --help and README.md.
#include "tools/sim/options.h"
#include "platform/std_streams.h"
#include "serial/simregistry.h"
#include "tools/sim/simulator.h"
#include "kvt_version.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A link that a simulator killed before its exit left behind: this user's symbolic link to a
// pseudo-terminal that is gone. Nothing else at the name is ever removed.
bool LeftByAKilledSimulator(const std::string& Link)
{
    struct stat st {};
    if (::lstat(Link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    char target[256];
    const ssize_t n = ::readlink(Link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return std::strncmp(target, "/dev/pts/", 9) == 0 && ::stat(target, &st) != 0 && errno == ENOENT;
}

// Refuses a name that is taken, before the line is made.
bool LinkNameFree(const std::string& Link)
{
    struct stat st {};
    if (::lstat(Link.c_str(), &st) != 0)
        return true;
    if (LeftByAKilledSimulator(Link) && ::unlink(Link.c_str()) == 0)
        return true;
    std::fprintf(stderr, "kvt27-sim: --link %s: the name is taken (%s); remove it or choose another\n", Link.c_str(),
        S_ISLNK(st.st_mode) ? "a symbolic link that is not a simulator's left-over" : "not a symbolic link");
    return false;
}

// Removes the link at exit only while it is still the one made.
void RemoveOwnLink(const std::string& Link, const struct stat& Made)
{
    struct stat now {};
    if (::lstat(Link.c_str(), &now) == 0 && S_ISLNK(now.st_mode) && now.st_dev == Made.st_dev && now.st_ino == Made.st_ino)
        ::unlink(Link.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything opens a descriptor: the line must never become standard output or error,
    // where the device and the trace are written.
    const kvt::platform::TClosedStreams closed = kvt::platform::OpenClosedStandardStreams();
    using namespace kvt::sim;
    TSimSetup setup;
    try {
        setup = ParseSimArgs(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvt27-sim: %s\n", e.what());
        return 2;
    }
    // What it prints there is what a script needs; /dev/null in its place would take it silently.
    if (closed.Out) {
        std::fprintf(stderr, "kvt27-sim: standard output is closed: the %s could not be written\n",
            setup.Help ? "help" : setup.Version ? "version" : "device");
        return 1;
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

    if (!setup.Link.empty() && !LinkNameFree(setup.Link))
        return 1;

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
    struct stat link {};
    if (!setup.Link.empty()) {
        // symlink never replaces: a name taken since the check above is refused too.
        if (::symlink(path.c_str(), setup.Link.c_str()) != 0) {
            std::fprintf(stderr, "kvt27-sim: --link %s: %s\n", setup.Link.c_str(), std::strerror(errno));
            sim.Stop();
            return 1;
        }
        ::lstat(setup.Link.c_str(), &link);
    }
    // Listed for the program's port list while it runs; a failure costs only the listing.
    std::unique_ptr<kvt::TSimPortRegistration> registration;
    if (setup.Register) {
        registration = std::make_unique<kvt::TSimPortRegistration>(path);
        if (!registration->Registered())
            std::fprintf(stderr, "kvt27-sim: the port is not listed for kvt27-config: %s\n",
                registration->Error().c_str());
    }
    // The device is what a script reads first: a standard output that cannot take it is a failure.
    if (std::printf("%s\n", path.c_str()) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kvt27-sim: cannot write the device to standard output: %s\n", std::strerror(errno));
        registration.reset();
        sim.Stop();
        if (!setup.Link.empty())
            RemoveOwnLink(setup.Link, link);
        return 1;
    }

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
        RemoveOwnLink(setup.Link, link);
    return 0;
}
