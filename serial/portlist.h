// The program's port list: the system's serial ports, then the simulated converters running now.
#pragma once

#include "serial/portinfo.h"

#include <string>
#include <vector>

namespace kvt {

// The ports SystemPorts finds, then the live simulators registered in SimRegistryDir that are not
// already in the list (Simulator set).
std::vector<TPortInfo> ProgramPorts(const std::string& SimRegistryDir);
std::vector<TPortInfo> ProgramPorts();
// The same with the system's ports read from SysRoot and DevRoot (see SystemPortsUnder).
std::vector<TPortInfo> ProgramPortsUnder(const std::string& SysRoot, const std::string& DevRoot,
                                         const std::string& SimRegistryDir);

// Their names alone.
std::vector<std::string> ProgramPortList(const std::string& SimRegistryDir);
std::vector<std::string> ProgramPortList();

} // namespace kvt
