// What a kvt27ctl command kept in a file of its own gets from the command runner.
#pragma once

#include "tools/ctl/ctl.h"
#include "tools/ctl/ctl_session.h"
#include "model/bench_job.h"
#include "model/history.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvt::ctl {

struct TCommandEnv {
    TCtlContext& Context;
    const std::vector<std::string>& Positional;
    // The options with a value that were given, by name ("--hold"); flags are below.
    const std::map<std::string, std::string>& Values;
    // Every option given ("--port", "--json", ...).
    const std::set<std::string>& Options;
    bool Given(const std::string& Option) const { return Options.count(Option) != 0; }
    bool Json = false;
    // Opens the port and identifies the converter (with the trace and the stop on a signal), and
    // loads its settings when asked.
    std::function<TCtlSession&(bool LoadWords)> Connect;
    // The signal that asked the tool to stop, or 0.
    std::function<int()> Stopped;
    // Writes a result to standard output at once; a failed write ends the command (ExitFailure).
    std::function<void(const std::string& Text)> Print;
};

// "SIGTERM", "Ctrl-C (SIGINT)", ...
std::string StopSignalName(int Signal);

int OutputCommand(const TCommandEnv& Env);
int HistoryCommand(const TCommandEnv& Env);

// A session that changed or recorded something, kept in the converter's history (when the context
// names a folder for it): the settings as found at the load (or AsFound), AsLeft, the words written.
// A history that cannot be written is a warning: the work on the converter is done.
void KeepHistory(const TCtlContext& Context, TCtlSession& Session, const TDeviceSettings& AsLeft,
                 const std::vector<std::string>& Written, const std::string& Program,
                 const TDeviceSettings* AsFound = nullptr);
// A converter a job worked on, kept in its history with the row's tag and the job's record.
void KeepJobHistory(const TCtlContext& Context, const TJobSession& Session);
// The tag, place and note the history has for the converter of Session (empty without one).
THistoryLabels HistoryLabels(const TCtlContext& Context, TCtlSession& Session);

} // namespace kvt::ctl
