// What the system says about the serial ports beyond their list: which ports are the system
// console, which programs hold a port open, which services take serial adapters away, and
// whether an on-board UART is really there. Each reads the folders it is given (normally /proc
// and /sys), so that tests read a tree of their own. On Windows there is nothing of the kind to
// read: the answers are empty.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kvt {

// The names of the ttys the kernel writes its console to: ProcRoot/consoles and
// SysRoot/class/tty/console/active ("ttyS0").
std::set<std::string> ConsolePorts(const std::string& ProcRoot, const std::string& SysRoot);

// A process that holds a device open.
struct TPortHolder {
    long Pid = 0;
    std::string Name; // its command name, as ProcRoot/<pid>/comm gives it
    bool operator==(const TPortHolder&) const = default;
};
// The processes whose open files (ProcRoot/<pid>/fd) include Device, this process and the
// simulators (which hold their own line's end) left out. Processes of other users cannot be read
// and are not listed.
std::vector<TPortHolder> PortHolders(const std::string& ProcRoot, const std::string& Device);

// The process ids whose command name (ProcRoot/<pid>/comm) is Name.
std::vector<long> ProcessesNamed(const std::string& ProcRoot, const std::string& Name);

// 0 when this user may read and write Device, else the system's code (ENOENT: not there, EACCES:
// not allowed). Always 0 on Windows, where only opening tells.
int PortAccessError(const std::string& Device);

// Whether Device is an on-board UART that the kernel reports as absent: TIOCGSERIAL answers with
// the type "unknown". Only ttyS ports are asked (opened without waiting and closed at once); any
// other port, or one that cannot be asked, is not absent.
bool UartAbsent(const std::string& Device);
using TUartCheck = std::function<bool(const std::string& Device)>;

} // namespace kvt
