#include "serial/portlist.h"

#include "platform/simregistry.h"

#include <algorithm>

namespace kvt {

std::vector<TPortInfo> ProgramPorts(const std::string& SimRegistryDir)
{
    std::vector<TPortInfo> ports = SystemPorts();
    for (TSimPort& p : LiveSimPortsIn(SimRegistryDir)) {
        if (std::any_of(ports.begin(), ports.end(), [&](const TPortInfo& q) { return q.Name == p.Path; }))
            continue;
        TPortInfo sim;
        sim.Name = std::move(p.Path);
        sim.Simulator = true;
        ports.push_back(std::move(sim));
    }
    return ports;
}

std::vector<TPortInfo> ProgramPorts()
{
    return ProgramPorts(SimPortRegistryDir());
}

std::vector<std::string> ProgramPortList(const std::string& SimRegistryDir)
{
    std::vector<std::string> names;
    for (TPortInfo& p : ProgramPorts(SimRegistryDir))
        names.push_back(std::move(p.Name));
    return names;
}

std::vector<std::string> ProgramPortList()
{
    return ProgramPortList(SimPortRegistryDir());
}

} // namespace kvt
