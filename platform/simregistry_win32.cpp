// Windows has no simulator (it runs on a pseudo-terminal): nothing is listed, nothing registers.
#include "platform/simregistry.h"

namespace kvt {

std::string SimPortRegistryDir()
{
    return {};
}

bool RegistryDirUsable(const std::string&)
{
    return false;
}

std::vector<TSimPort> LiveSimPortsIn(const std::string&)
{
    return {};
}

TSimPortRegistration::TSimPortRegistration(const std::string&, const std::string&)
    : FError("simulated converters are not listed on Windows")
{
}

TSimPortRegistration::~TSimPortRegistration() = default;

void TSimPortRegistration::Remove()
{
    FFile.clear();
}

} // namespace kvt
