// The port list's entries as kvt27ctl prints them in JSON, shared by ports, find and doctor.
#pragma once

#include "serial/portinfo.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace kvt::ctl {

// Every field of the entry, and the text the port list shows.
nlohmann::ordered_json PortJson(const TPortInfo& Port);
nlohmann::ordered_json PortsJson(const std::vector<TPortInfo>& Ports);

} // namespace kvt::ctl
