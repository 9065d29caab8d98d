// The program's own command-line options, answered before the application object exists so that
// they work without a display.
#pragma once

namespace kvt::app {

// The exit status when an option (--help, --version) has been answered on stdout; -1 to start the
// window. Qt's own options are left to the application object. OutClosed: stdout was closed at
// start (and /dev/null put in its place), so an answer cannot reach anyone.
int AnswerCommandLine(int Argc, char** Argv, bool OutClosed);

} // namespace kvt::app
