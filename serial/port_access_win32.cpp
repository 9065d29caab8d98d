#include "serial/port_access.h"

#include <windows.h>

namespace kvt {

std::string PortDeviceName(std::string_view PortText)
{
    const auto first = PortText.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = PortText.find_last_not_of(" \t\r\n");
    const std::string_view name = PortText.substr(first, last - first + 1);
    if (name.find('\\') != std::string_view::npos)
        return std::string(name);
    return "\\\\.\\" + std::string(name);
}

std::string PortAccessGroup(const std::string&)
{
    return {};
}

std::string PortOpenFailureDetail(int ErrorCode, std::string_view SystemText, std::string_view)
{
    std::string text(SystemText);
    if (!text.empty() && text.back() != '.')
        text += '.';
    switch (ErrorCode) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        text += "\n\nAnother program is using the port: close it, or pick another port.";
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DEVICE_NOT_CONNECTED:
        text += "\n\nThe port is not there: check the name, and that the adapter is plugged in.";
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        text += "\n\nThis device is not a serial port.";
        break;
    default:
        break;
    }
    return text;
}

} // namespace kvt
