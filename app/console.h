// Where the answers to --help and --version go.
#pragma once

namespace kvt::app {

// On Windows the window program has no console of its own: started from one, it writes to its
// parent's (unless its output is redirected). Elsewhere standard output is already there.
void UseParentConsole();

} // namespace kvt::app
