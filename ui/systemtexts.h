// What the window says about the system it runs on.
#pragma once

#include <QString>

namespace kvt::ui {

// The system and the processor: "Windows 10 Version 22H2 (x86_64)", "Debian GNU/Linux 12
// (bookworm), x86_64".
QString RunningSystem();

// Where the README and the licence are: the package's documentation folder on Linux, the
// program's own folder on Windows (the zip has them beside the program).
QString DocumentationPlace();

} // namespace kvt::ui
