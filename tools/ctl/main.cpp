// kvt27ctl: see kvt27ctl --help.
#include "tools/ctl/ctl.h"
#include "platform/std_streams.h"
#include "platform/simregistry.h"
#include "model/history.h"
#include "tools/ctl/ctl_platform.h"

#include <atomic>
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::atomic<int> StopSignal{0};

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
    // Before anything opens a descriptor: the port must never become standard output or error.
    const kvt::platform::TClosedStreams closed = kvt::platform::OpenClosedStandardStreams();
    kvt::ctl::InstallStopHandler(StopSignal);
    kvt::ctl::UseUtf8Console();
    // Every command prints its results there; /dev/null would take them without a word. Nothing is
    // done rather than work whose outcome no one sees.
    if (closed.Out) {
        std::cerr << "kvt27ctl: standard output is closed: the results could not be written; nothing was done\n";
        return kvt::ctl::ExitFailure;
    }

    kvt::ctl::TCtlContext context{std::cout, std::cerr, kvt::SimPortRegistryDir(), UserDecimalSeparator(),
        &StopSignal};
    context.ErrIsTerminal = kvt::ctl::ErrorIsTerminal();
    context.HistoryDir = kvt::THistoryStore::DefaultFolder();
    return kvt::ctl::RunCtl(kvt::ctl::ProgramArguments(argc, argv), context);
}
