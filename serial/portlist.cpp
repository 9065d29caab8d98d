#include "serial/portlist.h"

#include "serial/comport.h"
#include "platform/simregistry.h"

#include <algorithm>

namespace kvt {

std::vector<std::string> ProgramPortList(const std::string& SimRegistryDir)
{
    std::vector<std::string> ports;
    TCustomComPort::EnumPorts(ports);
    for (TSimPort& p : LiveSimPortsIn(SimRegistryDir))
        if (std::find(ports.begin(), ports.end(), p.Path) == ports.end())
            ports.push_back(std::move(p.Path));
    return ports;
}

std::vector<std::string> ProgramPortList()
{
    return ProgramPortList(SimPortRegistryDir());
}

} // namespace kvt
