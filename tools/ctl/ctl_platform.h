// What kvt27ctl's process takes from the system: its arguments, the stop requests, the console.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace kvt::ctl {

// The arguments without the program name, in UTF-8 (on Windows taken from the wide command line).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Ctrl-C, SIGTERM and a closed terminal (SIGHUP; on Windows the console's Ctrl-C, Ctrl-Break and
// close) set Stop to the signal's number (SIGINT for the console's), every time: the command ends
// before its next request and never inside a frame; a closed console waits for that end. A closed
// standard output is left to the write that fails (no SIGPIPE).
void InstallStopHandler(std::atomic<int>& Stop);

// Whether standard error is a terminal.
bool ErrorIsTerminal();

// Output in UTF-8 shows as such on the console (a no-op where that is the rule anyway); the
// console's own code page comes back at exit.
void UseUtf8Console();

} // namespace kvt::ctl
