// kvt27ctl: see kvt27ctl --help.
#include "tools/ctl/ctl.h"
#include "serial/simregistry.h"

#include <atomic>
#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::atomic<bool> StopRequested{false};

void OnStopSignal(int)
{
    StopRequested = true;
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
    // The first Ctrl-C ends a recording cleanly; a second one ends the program at once.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    kvt::ctl::TCtlContext context{std::cout, std::cerr, kvt::SimPortRegistryDir(), UserDecimalSeparator(),
        &StopRequested};
    const int status = kvt::ctl::RunCtl(std::vector<std::string>(argv + 1, argv + argc), context);
    std::cout.flush();
    return status;
}
