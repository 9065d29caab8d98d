#include "serial/combackend.h"
#include "serial/enumports.h"
#include "serial/portinfo.h"

#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
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

// The first line of a small sysfs attribute, without its line break; empty when there is none.
std::string Attribute(const std::filesystem::path& File)
{
    std::ifstream In(File);
    std::string Line;
    std::getline(In, Line);
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r' || Line.back() == ' '))
        Line.pop_back();
    return Line;
}

// The links in /dev/serial/by-id by the tty each leads to. udev names them after the adapter's
// maker, product and serial number, so the link stays when the tty's number changes.
std::map<std::string, std::string> StableLinks(const std::string& ByIdDir)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> Links;
    std::error_code Ec;
    for (fs::directory_iterator It(ByIdDir, Ec), End; !Ec && It != End; It.increment(Ec)) {
        std::error_code LinkEc;
        const fs::path Target = fs::read_symlink(It->path(), LinkEc);
        if (LinkEc)
            continue;
        Links.emplace(Target.filename().string(), It->path().string());
    }
    return Links;
}

// Fills what sysfs knows of the device behind the tty in TtyDir: the USB device is the first
// folder above it that has a vendor id (the interface's parent for ACM, one more up for a
// usb-serial port).
void Describe(TPortInfo& Port, const std::filesystem::path& TtyDir)
{
    namespace fs = std::filesystem;
    std::error_code Ec;
    const fs::path Device = fs::canonical(TtyDir / "device", Ec);
    if (Ec)
        return;
    const fs::path Driver = fs::read_symlink(Device / "driver", Ec);
    if (!Ec)
        Port.Driver = Driver.filename().string();
    fs::path Usb = Device;
    for (int Up = 0; Up < 4 && !Usb.empty() && !fs::exists(Usb / "idVendor", Ec); ++Up)
        Usb = Usb.has_parent_path() && Usb.parent_path() != Usb ? Usb.parent_path() : fs::path();
    if (Usb.empty() || !fs::exists(Usb / "idVendor", Ec))
        return;
    const std::string Vendor = Attribute(Usb / "idVendor");
    const std::string ProductId = Attribute(Usb / "idProduct");
    Port.HardwareId = Vendor + ":" + ProductId;
    Port.Manufacturer = Attribute(Usb / "manufacturer");
    Port.SerialNumber = Attribute(Usb / "serial");
    const std::string Product = Attribute(Usb / "product");
    // "FTDI FT232R USB UART"; a product that names its maker already keeps its own name.
    if (Product.empty())
        Port.Description = Port.Manufacturer.empty() ? "USB " + Port.HardwareId : Port.Manufacturer;
    else if (Port.Manufacturer.empty() || Product.rfind(Port.Manufacturer, 0) == 0)
        Port.Description = Product;
    else
        Port.Description = Port.Manufacturer + " " + Product;
}

} // namespace

std::vector<TPortInfo> SystemPortsIn(const std::string& SysRoot, const std::string& DevRoot)
{
    std::vector<std::string> Names;
    EnumSerialPortsIn(SysRoot + "/class/tty", DevRoot, Names);
    const std::map<std::string, std::string> Links = StableLinks(DevRoot + "/serial/by-id");
    std::vector<TPortInfo> Ports;
    for (std::string& Name : Names) {
        TPortInfo Port;
        Port.Name = std::move(Name);
        Describe(Port, SysRoot + "/class/tty/" + Port.Name);
        if (const auto It = Links.find(Port.Name); It != Links.end())
            Port.StableName = It->second;
        Ports.push_back(std::move(Port));
    }
    return Ports;
}

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
    return kvt::serial::SystemPortsIn("/sys", "/dev");
}

std::vector<kvt::TPortInfo> kvt::SystemPortsUnder(const std::string& SysRoot, const std::string& DevRoot)
{
    return kvt::serial::SystemPortsIn(SysRoot, DevRoot);
}

void EnumSerialPorts(std::vector<std::string>& Names)
{
    kvt::serial::EnumSerialPortsIn("/sys/class/tty", "/dev", Names);
}
