#include "tools/ctl/ctl_ports.h"

namespace kvt::ctl {

nlohmann::ordered_json PortJson(const TPortInfo& Port)
{
    nlohmann::ordered_json j;
    j["name"] = Port.Name;
    j["shown"] = PortDisplayText(Port);
    j["description"] = Port.Description;
    j["manufacturer"] = Port.Manufacturer;
    j["serial_number"] = Port.SerialNumber;
    j["stable_name"] = Port.StableName;
    j["hardware_id"] = Port.HardwareId;
    j["driver"] = Port.Driver;
    j["simulator"] = Port.Simulator;
    return j;
}

nlohmann::ordered_json PortsJson(const std::vector<TPortInfo>& Ports)
{
    nlohmann::ordered_json j = nlohmann::ordered_json::array();
    for (const TPortInfo& p : Ports)
        j.push_back(PortJson(p));
    return j;
}

} // namespace kvt::ctl
