#include "serial/port_system.h"

namespace kvt {

// Windows has no console on a serial port, no process table of open files to read, no services
// that take adapters away and no placeholder UARTs: nothing to say.
std::set<std::string> ConsolePorts(const std::string&, const std::string&)
{
    return {};
}

std::vector<TPortHolder> PortHolders(const std::string&, const std::string&)
{
    return {};
}

std::vector<long> ProcessesNamed(const std::string&, const std::string&)
{
    return {};
}

int PortAccessError(const std::string&)
{
    return 0;
}

bool UartAbsent(const std::string&)
{
    return false;
}

} // namespace kvt
