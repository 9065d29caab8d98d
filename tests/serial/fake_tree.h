// A folder in /tmp that stands in for /sys, /dev and /proc: the port list, the search and the
// diagnosis read it as they would the system's. Removed with the object.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kvt::test {

class TFakeTree {
public:
    TFakeTree()
    {
        char Dir[] = "/tmp/kvt-fake-tree-XXXXXX";
        Root = ::mkdtemp(Dir) ? Dir : "";
    }
    ~TFakeTree()
    {
        std::error_code Ec;
        if (!Root.empty())
            std::filesystem::remove_all(Root, Ec);
    }
    TFakeTree(const TFakeTree&) = delete;
    TFakeTree& operator=(const TFakeTree&) = delete;

    std::string Sys() const { return Root + "/sys"; }
    std::string Dev() const { return Root + "/dev"; }
    std::string Proc() const { return Root + "/proc"; }

    // A file with Text (folders made as needed); Path is below Root.
    void File(const std::string& Path, const std::string& Text = {}) const
    {
        const std::filesystem::path P = Root + "/" + Path;
        std::filesystem::create_directories(P.parent_path());
        std::ofstream(P) << Text;
    }
    void Link(const std::string& Path, const std::string& Target) const
    {
        const std::filesystem::path P = Root + "/" + Path;
        std::filesystem::create_directories(P.parent_path());
        std::filesystem::create_symlink(Target, P);
    }
    void Remove(const std::string& Path) const
    {
        std::error_code Ec;
        std::filesystem::remove_all(Root + "/" + Path, Ec);
    }

    // A usb-serial adapter as the kernel shows it: the tty, its interface, the USB device with its
    // strings, the driver, the node in dev and (with a serial number) its by-id link.
    void UsbAdapter(const std::string& Tty, const std::string& Bus, const std::string& Manufacturer,
                    const std::string& Product, const std::string& Serial, const std::string& Driver = "ftdi_sio") const
    {
        const std::string Usb = "sys/devices/pci0000:00/usb1/" + Bus;
        const std::string Port = Usb + "/" + Bus + ":1.0/" + Tty;
        File(Usb + "/idVendor", "0403\n");
        File(Usb + "/idProduct", "6001\n");
        if (!Manufacturer.empty())
            File(Usb + "/manufacturer", Manufacturer + "\n");
        if (!Product.empty())
            File(Usb + "/product", Product + "\n");
        if (!Serial.empty())
            File(Usb + "/serial", Serial + "\n");
        File("sys/bus/usb-serial/drivers/" + Driver + "/bind");
        Link(Port + "/driver", Root + "/sys/bus/usb-serial/drivers/" + Driver);
        Link("sys/class/tty/" + Tty + "/device", Root + "/" + Port);
        File("dev/" + Tty);
        if (!Serial.empty())
            Link("dev/serial/by-id/usb-" + Manufacturer + "_" + Product + "_" + Serial + "-if00-port0", "../../" + Tty);
    }
    // An on-board UART; type 0 is a port without hardware.
    void Uart(const std::string& Tty, int Type) const
    {
        File("sys/devices/platform/serial8250/" + Tty + "/uevent");
        Link("sys/class/tty/" + Tty + "/device", Root + "/sys/devices/platform/serial8250/" + Tty);
        File("sys/class/tty/" + Tty + "/type", std::to_string(Type) + "\n");
        File("dev/" + Tty);
    }

    std::string Root;
};

} // namespace kvt::test
