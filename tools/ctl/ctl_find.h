// kvt27ctl find, and --port auto on every command.
#pragma once

#include "tools/ctl/ctl.h"

#include <string>

namespace kvt::ctl {

// Lists the converters that answer, on stdout (JSON with Json); none: exit ExitNoAnswer, with what
// each port gave.
int RunFind(TCtlContext& Context, bool Json);
// The port of the one converter found; ECtlError when none answers (ExitNoAnswer) or several do
// (ExitUsage), with the list.
std::string AutoPort(TCtlContext& Context);

} // namespace kvt::ctl
