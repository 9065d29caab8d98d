#include "platform/sysfile.h"

#include "platform/utf8.h"

#include <cerrno>

namespace kvt::platform {

std::FILE* OpenFileUtf8(const std::string& Name, const char* Mode)
{
    const auto name = WideFromUtf8(Name);
    const auto mode = WideFromUtf8(Mode);
    if (!name || !mode) {
        errno = EILSEQ;
        return nullptr;
    }
    return _wfopen(name->c_str(), mode->c_str());
}

bool LocalTime(std::time_t Time, std::tm& Local)
{
    return localtime_s(&Local, &Time) == 0;
}

} // namespace kvt::platform
