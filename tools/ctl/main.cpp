// kvt27ctl: see kvt27ctl --help.
#include "tools/ctl/ctl.h"
#include "serial/simregistry.h"
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
    kvt::ctl::InstallStopHandler(StopSignal);
    kvt::ctl::UseUtf8Console();

    kvt::ctl::TCtlContext context{std::cout, std::cerr, kvt::SimPortRegistryDir(), UserDecimalSeparator(),
        &StopSignal};
    context.ErrIsTerminal = kvt::ctl::ErrorIsTerminal();
    return kvt::ctl::RunCtl(kvt::ctl::ProgramArguments(argc, argv), context);
}
