#include "protocol/commands.h"

#include <array>
#include <utility>

namespace kvt {

namespace {
const std::array<std::pair<uint8_t, const char*>, 9> Names = {{
    {CmdReadWord, "read word"},
    {CmdWriteWord, "write word"},
    {CmdOutputRelease, "output release"},
    {CmdOutputDrive, "output drive"},
    {CmdMeasure, "measure"},
    {CmdReadConfig, "read config"},
    {CmdReadTemperature, "read temperature"},
    {CmdReadVersion, "read version"},
    {CmdIdentify, "identify"},
}};
} // namespace

std::string CommandName(uint8_t Command)
{
    for (const auto& [code, name] : Names)
        if (code == Command)
            return name;
    return {};
}

int CommandByName(const std::string& Name)
{
    for (const auto& [code, name] : Names)
        if (Name == name)
            return code;
    return -1;
}

} // namespace kvt
