#include "serial/port_access.h"

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <vector>

namespace kvt {

std::string PortDeviceName(std::string_view PortText)
{
    const auto first = PortText.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = PortText.find_last_not_of(" \t\r\n");
    const std::string_view name = PortText.substr(first, last - first + 1);
    if (name.front() == '/')
        return std::string(name);
    return "/dev/" + std::string(name);
}

std::string PortAccessGroup(const std::string& Device)
{
    struct stat st {};
    if (::stat(Device.c_str(), &st) != 0 || st.st_gid == 0 || (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return "dialout";
    std::vector<char> buf(4096);
    group g {};
    group* found = nullptr;
    while (::getgrgid_r(st.st_gid, &g, buf.data(), buf.size(), &found) == ERANGE && buf.size() < (1u << 20))
        buf.resize(buf.size() * 2);
    if (found == nullptr || found->gr_name == nullptr || found->gr_name[0] == '\0')
        return "dialout";
    return found->gr_name;
}

std::string PortOpenFailureDetail(int ErrorCode, std::string_view SystemText, std::string_view Group)
{
    std::string text(SystemText);
    if (!text.empty() && text.back() != '.')
        text += '.';
    if (ErrorCode == EACCES || ErrorCode == EPERM) {
        const std::string group = Group.empty() ? std::string("dialout") : std::string(Group);
        text += "\n\nThis user may not use the serial port. On Linux the serial ports belong to the group \"" +
            group + "\": add yourself to it with\n    sudo usermod -aG " + group +
            " $USER\nthen log out and log in again (the membership counts from the next login).";
    } else if (ErrorCode == EBUSY) {
        text += "\n\nAnother program is using the port: close it, or pick another port.";
    } else if (ErrorCode == ENOTTY) {
        text += "\n\nThis device is not a serial port.";
    } else if (ErrorCode == ENOENT || ErrorCode == ENODEV || ErrorCode == ENXIO) {
        text += "\n\nThe port is not there: check the name, and that the adapter is plugged in.";
    }
    return text;
}

} // namespace kvt
