// kvt27ctl: the converter from the command line, through the program's own protocol, serial,
// signal and datalog code. RunCtl is the whole tool without its process: tests call it directly.
#pragma once

#include "model/system_view.h"
#include "tools/ctl/ctl_status.h"

#include <atomic>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

class TComPort;

namespace kvt::ctl {

struct TCtlContext {
    std::ostream& Out; // results
    std::ostream& Err; // messages, in plain words
    // Where the live simulators are listed (see platform/simregistry.h).
    std::string SimRegistryDir;
    // The user's decimal separator, for values as the program shows them.
    std::string DecimalSeparator = ".";
    // The signal that asks the tool to stop (SIGINT, SIGTERM, SIGHUP; 0 while none came), set
    // from a signal handler. A command stops before its next request and exits 128 + the signal;
    // a recording keeps what it has.
    const std::atomic<int>* Stop = nullptr;
    // Whether standard error is a terminal: a recording then shows its progress there.
    bool ErrIsTerminal = false;
    // Runs on the port after the converter's line settings, before it opens: tests shorten its
    // time limits with it. The tool itself leaves it empty.
    std::function<void(TComPort& Port)> PortSetup = {};
    // The folder of the converters' histories; empty: none is read or kept (the tool sets it).
    std::string HistoryDir = {};
    // Between two identifications while a job waits for a converter (tests shorten it).
    int JobPollMs = 1000;
    // Where find, --port auto and doctor read the system (tests give a tree of their own); its
    // empty registry folder stands for SimRegistryDir.
    TSystemView System = {};
};

// Args without the program name. Returns the exit status; never throws.
int RunCtl(const std::vector<std::string>& Args, TCtlContext& Context);

// The general help (empty Command) or one command's help; empty for an unknown command.
std::string CtlHelp(const std::string& Command);

} // namespace kvt::ctl
