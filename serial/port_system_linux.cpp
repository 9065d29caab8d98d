#include "serial/port_system.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kvt {

namespace fs = std::filesystem;

namespace {

bool IsPid(const std::string& Name)
{
    return !Name.empty() && std::all_of(Name.begin(), Name.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string FirstLine(const fs::path& File)
{
    std::ifstream In(File);
    std::string Line;
    std::getline(In, Line);
    return Line;
}

// "/dev/ttyUSB0" and "ttyUSB0" both name ttyUSB0.
std::string TtyName(const std::string& Text)
{
    const auto Slash = Text.rfind('/');
    return Slash == std::string::npos ? Text : Text.substr(Slash + 1);
}

} // namespace

std::set<std::string> ConsolePorts(const std::string& ProcRoot, const std::string& SysRoot)
{
    std::set<std::string> Names;
    // "ttyS0                -W- (EC p a)    4:64": the name comes first.
    std::ifstream Consoles(ProcRoot + "/consoles");
    for (std::string Line; std::getline(Consoles, Line);) {
        std::istringstream Words(Line);
        std::string Name;
        if (Words >> Name)
            Names.insert(TtyName(Name));
    }
    std::istringstream Active(FirstLine(SysRoot + "/class/tty/console/active"));
    for (std::string Name; Active >> Name;)
        Names.insert(TtyName(Name));
    return Names;
}

std::vector<TPortHolder> PortHolders(const std::string& ProcRoot, const std::string& Device)
{
    std::vector<TPortHolder> Holders;
    std::error_code Ec;
    const fs::path Wanted = fs::weakly_canonical(Device, Ec);
    const long Self = static_cast<long>(::getpid());
    for (fs::directory_iterator It(ProcRoot, Ec), End; !Ec && It != End; It.increment(Ec)) {
        const std::string PidText = It->path().filename().string();
        if (!IsPid(PidText))
            continue;
        const long Pid = std::stol(PidText);
        std::error_code FdEc;
        for (fs::directory_iterator Fd(It->path() / "fd", FdEc), FdEnd; !FdEc && Fd != FdEnd; Fd.increment(FdEc)) {
            std::error_code LinkEc;
            const fs::path Target = fs::read_symlink(Fd->path(), LinkEc);
            if (LinkEc || (Target != Device && Target != Wanted))
                continue;
            const std::string Name = FirstLine(It->path() / "comm");
            if (Pid != Self && Name != "kvt27-sim")
                Holders.push_back({Pid, Name});
            break;
        }
    }
    return Holders;
}

std::vector<long> ProcessesNamed(const std::string& ProcRoot, const std::string& Name)
{
    std::vector<long> Pids;
    std::error_code Ec;
    for (fs::directory_iterator It(ProcRoot, Ec), End; !Ec && It != End; It.increment(Ec)) {
        const std::string PidText = It->path().filename().string();
        if (IsPid(PidText) && FirstLine(It->path() / "comm") == Name)
            Pids.push_back(std::stol(PidText));
    }
    return Pids;
}

int PortAccessError(const std::string& Device)
{
    return ::access(Device.c_str(), R_OK | W_OK) == 0 ? 0 : errno;
}

bool UartAbsent(const std::string& Device)
{
    if (TtyName(Device).rfind("ttyS", 0) != 0)
        return false;
    const int Fd = ::open(Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0)
        return false;
    serial_struct Info {};
    const bool Absent = ::ioctl(Fd, TIOCGSERIAL, &Info) == 0 && Info.type == PORT_UNKNOWN;
    ::close(Fd);
    return Absent;
}

} // namespace kvt
