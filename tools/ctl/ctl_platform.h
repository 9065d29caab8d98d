// What kvt27ctl's process takes from the system: its arguments, Ctrl-C, the console's encoding.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace kvt::ctl {

// The arguments without the program name, in UTF-8 (on Windows taken from the wide command line).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The first Ctrl-C (or SIGTERM, or the console closing) sets Stop; a second one ends the program
// at once.
void InstallStopHandler(std::atomic<bool>& Stop);

// Output in UTF-8 shows as such on the console (a no-op where that is the rule anyway).
void UseUtf8Console();

} // namespace kvt::ctl
