// kvt27ctl: see kvt27ctl --help.
#include "tools/ctl/ctl.h"
#include "serial/simregistry.h"

#include <atomic>
#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::atomic<int> StopSignal{0};

void OnStopSignal(int Signal)
{
    StopSignal = Signal;
}

// The user's decimal separator, as the program takes it from the system; the C locale stays in
// force for everything else.
std::string UserDecimalSeparator()
{
    std::string separator = ".";
    if (std::setlocale(LC_NUMERIC, "") != nullptr) {
        const std::lconv* conv = std::localeconv();
        if (conv != nullptr && conv->decimal_point != nullptr && conv->decimal_point[0] != '\0')
            separator = conv->decimal_point;
    }
    std::setlocale(LC_NUMERIC, "C");
    return separator;
}

} // namespace

int main(int argc, char** argv)
{
    // Ctrl-C, SIGTERM and a closed terminal (SIGHUP) stop a command before its next request,
    // every time: a second one never cuts a frame in half. A closed standard output is a failed
    // write to report, not a signal that kills a recording before it saves its samples.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    kvt::ctl::TCtlContext context{std::cout, std::cerr, kvt::SimPortRegistryDir(), UserDecimalSeparator(),
        &StopSignal};
    context.ErrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    return kvt::ctl::RunCtl(std::vector<std::string>(argv + 1, argv + argc), context);
}
