#include "platform/sysfile.h"

namespace kvt::platform {

std::FILE* OpenFileUtf8(const std::string& Name, const char* Mode)
{
    return std::fopen(Name.c_str(), Mode);
}

bool LocalTime(std::time_t Time, std::tm& Local)
{
    return localtime_r(&Time, &Local) != nullptr;
}

} // namespace kvt::platform
