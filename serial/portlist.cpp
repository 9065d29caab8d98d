#include "serial/portlist.h"

#include "platform/simregistry.h"

#include <algorithm>

namespace kvt {

namespace {

std::vector<TPortInfo> WithSimulators(std::vector<TPortInfo> ports, const std::string& SimRegistryDir)
{
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

} // namespace

std::vector<TPortInfo> ProgramPorts(const std::string& SimRegistryDir)
{
    return WithSimulators(SystemPorts(), SimRegistryDir);
}

std::vector<TPortInfo> ProgramPortsUnder(const std::string& SysRoot, const std::string& DevRoot,
                                         const std::string& SimRegistryDir)
{
    return WithSimulators(SystemPortsUnder(SysRoot, DevRoot), SimRegistryDir);
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
