// kvt27ctl job: a workshop job, converter after converter on one port (model/bench_job.h).
#pragma once

#include "tools/ctl/ctl.h"

#include <string>

namespace kvt::ctl {

struct TJobCommand {
    std::string Action; // "run"
    std::string File;
    std::string Port;
    std::string Records;
    std::string From; // empty: 1
    bool Json = false;
    bool Trace = false;
};

// Throws ECtlError or EConfigError for the command line to report.
int RunJobCommand(const TJobCommand& Command, TCtlContext& Context);

} // namespace kvt::ctl
