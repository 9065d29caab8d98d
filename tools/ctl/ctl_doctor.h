// kvt27ctl doctor: why a port does not work.
#pragma once

#include "tools/ctl/ctl.h"

#include <string>

namespace kvt::ctl {

// The checks for Port (or, without one, the system's checks and what each listed port gives to
// the search), each with its verdict; exit status 0 unless one is a problem (ExitFailure).
int RunDoctor(TCtlContext& Context, const std::string& Port, bool Json);

} // namespace kvt::ctl
