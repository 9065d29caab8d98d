// The program's port list: the system's serial ports, then the simulated converters running now.
#pragma once

#include <string>
#include <vector>

namespace kvt {

// The ports EnumPorts finds, then the live simulators registered in SimRegistryDir that are not
// already in the list.
std::vector<std::string> ProgramPortList(const std::string& SimRegistryDir);
std::vector<std::string> ProgramPortList();

} // namespace kvt
