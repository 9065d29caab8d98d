#include "app/cmdline.h"
#include "app/console.h"

#include "kvt_version.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace kvt::app {

namespace {

constexpr const char* HelpText = R"(kvt27-config: configure KVT27 and KVT27L isolated analog signal converters.

Usage: kvt27-config [Qt options]

Opens the configuration window. Connect to a converter on a serial port (4800 Bd, 8N1) and
identify it, read its settings, choose the input and output signal kinds, calibrate the input
range, adjust the output range against a multimeter, set the input filter and the reaction to an
out-of-range input, enter ranges as numbers, and record the measured value as a trend chart with
CSV export. The window is in Czech and English.
)"
#ifdef _WIN32
R"(
The port list shows the system's serial ports (COM1, COM5, ...) with the names the device manager
gives them ("COM5 — USB Serial Port").
)"
#else
R"(
The port list shows the system's serial ports, then the ports of the kvt27-sim simulators running
for this user. Serial ports usually belong to the group "dialout": a user who is not in it cannot
open them ("sudo usermod -aG dialout $USER", then log in again).
)"
#endif
R"(
Options:
  --help       this text
  --version    the version
The window also takes Qt's standard options, such as -platform and -style.

kvt27ctl does the same work from the command line; kvt27-sim simulates a converter.
)";

} // namespace

int AnswerCommandLine(int Argc, char** Argv, bool OutClosed)
{
    for (int i = 1; i < Argc; ++i) {
        const std::string_view arg = Argv[i];
        std::string text;
        if (arg == "--help" || arg == "-h")
            text = HelpText;
        else if (arg == "--version")
            text = std::string("kvt27-config ") + ProgramVersion + "\n" + ProgramCopyright;
        else
            continue;
        if (OutClosed) {
            std::fputs("kvt27-config: standard output is closed\n", stderr);
            return 1;
        }
        UseParentConsole();
        if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
            std::perror("kvt27-config: standard output");
            return 1;
        }
        return 0;
    }
    return -1;
}

} // namespace kvt::app
