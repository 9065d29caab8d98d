// kvt27ctl: the converter from the command line, through the program's own protocol, serial,
// signal and datalog code. RunCtl is the whole tool without its process: tests call it directly.
#pragma once

#include "tools/ctl/ctl_status.h"

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace kvt::ctl {

struct TCtlContext {
    std::ostream& Out; // results
    std::ostream& Err; // messages, in plain words
    // Where the live simulators are listed (see serial/simregistry.h).
    std::string SimRegistryDir;
    // The user's decimal separator, for values as the program shows them.
    std::string DecimalSeparator = ".";
    // Set from a signal handler: a recording stops, keeps what it has and returns ExitInterrupted.
    const std::atomic<bool>* Stop = nullptr;
};

// Args without the program name. Returns the exit status; never throws.
int RunCtl(const std::vector<std::string>& Args, TCtlContext& Context);

// The general help (empty Command) or one command's help; empty for an unknown command.
std::string CtlHelp(const std::string& Command);

} // namespace kvt::ctl
