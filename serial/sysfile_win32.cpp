#include "serial/sysfile.h"

#include <windows.h>

namespace kvt::serial {

std::wstring WideText(const std::string& Utf8)
{
    if (Utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), nullptr, 0);
    std::wstring Text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), Text.data(), n);
    return Text;
}

std::FILE* OpenFileUtf8(const std::string& Name, const char* Mode)
{
    return _wfopen(WideText(Name).c_str(), WideText(Mode).c_str());
}

bool LocalTime(std::time_t Time, std::tm& Local)
{
    return localtime_s(&Local, &Time) == 0;
}

} // namespace kvt::serial
