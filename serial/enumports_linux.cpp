#include "serial/combackend.h"
#include "serial/enumports.h"
#include "serial/portinfo.h"

#include <dirent.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>

namespace kvt::serial {

namespace {

bool Exists(const std::string& Path)
{
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0;
}

// serial_core ports show the UART type; 0 is a placeholder without hardware (the legacy ttyS
// ports that the 8250 driver registers whether or not a UART answers).
bool PlaceholderUart(const std::string& TtyDir)
{
    std::ifstream Type(TtyDir + "/type");
    long Value = -1;
    return Type >> Value && Value == 0;
}

} // namespace

void EnumSerialPortsIn(const std::string& ClassDir, const std::string& DevDir, std::vector<std::string>& Names)
{
    std::unique_ptr<DIR, int (*)(DIR*)> Dir(::opendir(ClassDir.c_str()), ::closedir);
    if (!Dir)
        return;
    while (const dirent* Entry = ::readdir(Dir.get())) {
        const std::string Name = Entry->d_name;
        if (Name == "." || Name == "..")
            continue;
        const std::string TtyDir = ClassDir + "/" + Name;
        // Virtual consoles, pseudo-terminals and the like have no device; an entry that vanishes
        // while we look (an adapter pulled out) is simply not listed.
        if (!Exists(TtyDir + "/device") || PlaceholderUart(TtyDir) || !Exists(DevDir + "/" + Name))
            continue;
        Names.push_back(Name);
    }
}

} // namespace kvt::serial

std::vector<kvt::TPortInfo> kvt::SystemPorts()
{
    std::vector<std::string> Names;
    kvt::serial::EnumSerialPortsIn("/sys/class/tty", "/dev", Names);
    std::vector<TPortInfo> Ports;
    for (std::string& Name : Names) {
        TPortInfo Port;
        Port.Name = std::move(Name);
        Ports.push_back(std::move(Port));
    }
    return Ports;
}

void EnumSerialPorts(std::vector<std::string>& Names)
{
    kvt::serial::EnumSerialPortsIn("/sys/class/tty", "/dev", Names);
}
