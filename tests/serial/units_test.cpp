// The component's small pure parts: log lines, time limits, rates, the port list.
#include "serial/comlog.h"
#include "serial/comport.h"
#include "serial/comtransfer.h"
#include "serial/enumports.h"
#include "serial/portinfo.h"
#include "serial/portlist.h"
#include "platform/simregistry.h"
#include "serial/termios_map.h"
#include "tests/serial/fake_tree.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace ks = kvt::serial;

TEST(ComPortUnits, LogLinesCarryTimeMessageAndHexBytes)
{
    const uint8_t Bytes[] = {10, 255, 0};
    EXPECT_EQ(ks::FormatLogData(Bytes, 3), "$0A, $FF, $00");
    EXPECT_EQ(ks::FormatLogData(Bytes, 0), "");
    EXPECT_EQ(ks::FormatLogLine("T", "Write request ", Bytes, 2), "T Write request $0A, $FF\r\n");
    EXPECT_EQ(ks::FormatLogLine("T", "Read request 7 byte(s)", nullptr, 0), "T Read request 7 byte(s)\r\n");
    EXPECT_FALSE(ks::FormatLogTime(0).empty());
}

TEST(ComPortUnits, TotalLimitFollowsTheDriverContract)
{
    EXPECT_EQ(ks::TotalLimit(100, 100, 7), 800ms);
    EXPECT_EQ(ks::TotalLimit(0, 250, 7), 250ms);
    EXPECT_EQ(ks::TotalLimit(0, 0, 7), std::nullopt);
    // The values are unsigned 32-bit numbers there; nothing wraps.
    EXPECT_EQ(ks::TotalLimit(-1, -1, 2), std::chrono::milliseconds(3 * 4294967295LL));
}

namespace {

termios Cooked()
{
    termios T{};
    T.c_iflag = ICRNL | IXON | IXANY;
    T.c_oflag = OPOST | ONLCR;
    T.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    T.c_cflag = CS6 | PARENB | PARODD | CSTOPB | CRTSCTS;
    cfsetispeed(&T, B1200);
    cfsetospeed(&T, B1200);
    return T;
}

tcflag_t ParityOf(TParity Parity)
{
    TLineConfig C;
    C.Parity = Parity;
    termios T = Cooked();
    uint32_t Custom = 0;
    EXPECT_EQ(ks::MapLineSettings(C, T, Custom), 0);
    return T.c_cflag & (PARENB | PARODD | CMSPAR);
}

} // namespace

TEST(ComPortTermios, DefaultsKeepTheLineAndMakeTheDataRaw)
{
    termios T = Cooked();
    uint32_t Custom = 1;
    ASSERT_EQ(ks::MapLineSettings(TLineConfig{}, T, Custom), 0);
    EXPECT_EQ(Custom, 0u);
    EXPECT_EQ(cfgetospeed(&T), B1200);
    EXPECT_EQ(T.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), tcflag_t(CS6 | PARENB | PARODD | CSTOPB));
    EXPECT_EQ(T.c_cflag & (CREAD | CLOCAL | CRTSCTS), tcflag_t(CREAD | CLOCAL));
    EXPECT_EQ(T.c_iflag, 0u);
    EXPECT_EQ(T.c_oflag & OPOST, 0u);
    EXPECT_EQ(T.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(T.c_cc[VMIN], 1);
    EXPECT_EQ(T.c_cc[VTIME], 0);
    EXPECT_EQ(T.c_cc[VSTART], 17);
    EXPECT_EQ(T.c_cc[VSTOP], 19);
}

TEST(ComPortTermios, EachSettingMapsToItsFlags)
{
    TLineConfig C; // the program's line: 4800 8N1
    C.BaudRate = br4800;
    C.DataBits = db8;
    C.Parity = paNone;
    C.StopBits = sb1;
    termios T = Cooked();
    uint32_t Custom = 0;
    ASSERT_EQ(ks::MapLineSettings(C, T, Custom), 0);
    EXPECT_EQ(cfgetospeed(&T), B4800);
    EXPECT_EQ(cfgetispeed(&T), B4800);
    EXPECT_EQ(T.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));

    EXPECT_EQ(ParityOf(paOdd), tcflag_t(PARENB | PARODD));
    EXPECT_EQ(ParityOf(paEven), tcflag_t(PARENB));
    EXPECT_EQ(ParityOf(paMark), tcflag_t(PARENB | PARODD | CMSPAR));
    EXPECT_EQ(ParityOf(paSpace), tcflag_t(PARENB | CMSPAR));

    C = TLineConfig{};
    C.RTS = rcHandshake; // Linux couples RTS handshake with CTS flow
    T = Cooked();
    ASSERT_EQ(ks::MapLineSettings(C, T, Custom), 0);
    EXPECT_TRUE(T.c_cflag & CRTSCTS);

    C = TLineConfig{};
    C.BaudRate = br14400; // no B constant
    T = Cooked();
    ASSERT_EQ(ks::MapLineSettings(C, T, Custom), 0);
    EXPECT_EQ(Custom, 14400u);
    EXPECT_EQ(cfgetospeed(&T), B1200);
    C.BaudRate = brCustom;
    C.CustomBaudRate = 115200;
    ASSERT_EQ(ks::MapLineSettings(C, T, Custom), 0);
    EXPECT_EQ(Custom, 0u);
    EXPECT_EQ(cfgetospeed(&T), B115200);
    C.CustomBaudRate = 0;
    EXPECT_EQ(ks::MapLineSettings(C, T, Custom), EINVAL);
}

TEST(ComPortTermios, WhatTermiosCannotExpressIsRefused)
{
    TLineConfig C;
    termios T = Cooked();
    uint32_t Custom = 0;
    C.DataBits = db4;
    EXPECT_EQ(ks::MapLineSettings(C, T, Custom), EINVAL);
    C.DataBits = db8;
    C.StopBits = sb1_5;
    EXPECT_EQ(ks::MapLineSettings(C, T, Custom), EINVAL);
    C.DataBits = db5; // a UART sends 1.5 stop bits for 5-bit characters
    ASSERT_EQ(ks::MapLineSettings(C, T, Custom), 0);
    EXPECT_EQ(T.c_cflag & (CSIZE | CSTOPB), tcflag_t(CS5 | CSTOPB));
}

namespace {

struct TFakeSys {
    std::string Root;
    TFakeSys()
    {
        char Dir[] = "/tmp/kvt-serial-sys-XXXXXX";
        Root = ::mkdtemp(Dir);
        ::mkdir((Root + "/class").c_str(), 0755);
        ::mkdir((Root + "/dev").c_str(), 0755);
        ::mkdir((Root + "/devices").c_str(), 0755);
    }
    ~TFakeSys() { [[maybe_unused]] int r = std::system(("rm -rf " + Root).c_str()); }
    void Add(const std::string& Name, bool Device, int Type, bool Node)
    {
        const std::string Dir = Root + "/class/" + Name;
        ::mkdir(Dir.c_str(), 0755);
        if (Device) {
            ::mkdir((Root + "/devices/" + Name).c_str(), 0755);
            [[maybe_unused]] int r = ::symlink((Root + "/devices/" + Name).c_str(), (Dir + "/device").c_str());
        }
        if (Type >= 0)
            std::ofstream(Dir + "/type") << Type << "\n";
        if (Node)
            std::ofstream(Root + "/dev/" + Name);
    }
};

} // namespace

TEST(ComPortEnum, ListsTtysWithARealDeviceBehindThemAfterWhatIsThere)
{
    TFakeSys Sys;
    Sys.Add("ttyUSB0", true, -1, true);
    Sys.Add("ttyACM0", true, -1, true);
    Sys.Add("ttyS0", true, 4, true);
    Sys.Add("ttyS1", true, 0, true);   // legacy port without a UART
    Sys.Add("tty1", false, -1, true);  // virtual console
    Sys.Add("ttyUSB1", true, -1, false); // gone from /dev

    std::vector<std::string> Names{"kept"};
    ks::EnumSerialPortsIn(Sys.Root + "/class", Sys.Root + "/dev", Names);
    ASSERT_EQ(Names.size(), 4u);
    EXPECT_EQ(Names[0], "kept");
    std::vector<std::string> Found(Names.begin() + 1, Names.end());
    std::sort(Found.begin(), Found.end());
    EXPECT_EQ(Found, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyUSB0"}));

    ks::EnumSerialPortsIn(Sys.Root + "/class", Sys.Root + "/dev", Names);
    EXPECT_EQ(Names.size(), 7u); // twice listed, twice appended
}

TEST(ComPortEnum, AMachineWithoutPortsAddsNothing)
{
    TFakeSys Sys;
    std::vector<std::string> Names;
    ks::EnumSerialPortsIn(Sys.Root + "/class", Sys.Root + "/dev", Names);
    ks::EnumSerialPortsIn(Sys.Root + "/no-such-dir", Sys.Root + "/dev", Names);
    EXPECT_TRUE(Names.empty());

    // The real list only appends names that exist under /dev.
    Names = {"kept"};
    EXPECT_NO_THROW(TComPort::EnumPorts(Names));
    EXPECT_EQ(Names[0], "kept");
    for (size_t i = 1; i < Names.size(); ++i)
        EXPECT_EQ(::access(("/dev/" + Names[i]).c_str(), F_OK), 0) << Names[i];
}

// How a port is shown in the list, and its place there: by number, as people count.
TEST(ComPortEnum, PortsAreShownWithTheirDescriptionAndCountedByNumber)
{
    kvt::TPortInfo Usb;
    Usb.Name = "COM5";
    Usb.Description = "USB Serial Port";
    EXPECT_EQ(kvt::PortDisplayText(Usb), "COM5 \u2014 USB Serial Port");
    Usb.Description.clear();
    EXPECT_EQ(kvt::PortDisplayText(Usb), "COM5");

    std::vector<kvt::TPortInfo> Ports;
    for (const char* Name : {"COM10", "ttyUSB10", "COM2", "COM", "ttyUSB1", "COM1", "/dev/pts/3"})
        Ports.push_back(kvt::TPortInfo{Name, {}, {}, {}, {}, {}, false, {}});
    kvt::SortPortsByName(Ports);
    std::vector<std::string> Names;
    for (const auto& p : Ports)
        Names.push_back(p.Name);
    EXPECT_EQ(Names, (std::vector<std::string>{"/dev/pts/3", "COM", "COM1", "COM2", "COM10", "ttyUSB1", "ttyUSB10"}));
}

// The program's list: the system's ports, then a live simulator, marked as one.
TEST(ComPortEnum, ALiveSimulatorComesLastInTheProgramsList)
{
    char Base[] = "/tmp/kvt-simlist-XXXXXX";
    ASSERT_NE(::mkdtemp(Base), nullptr);
    const std::string Dir = std::string(Base) + "/reg";
    {
        kvt::TSimPortRegistration Live("/dev/null", Dir);
        ASSERT_TRUE(Live.Registered()) << Live.Error();
        const std::vector<kvt::TPortInfo> Listed = kvt::ProgramPorts(Dir);
        ASSERT_FALSE(Listed.empty());
        EXPECT_EQ(Listed.back().Name, "/dev/null");
        EXPECT_TRUE(Listed.back().Simulator);
        EXPECT_EQ(kvt::ProgramPortList(Dir).back(), "/dev/null");
    }
    std::error_code Ec;
    std::filesystem::remove_all(Base, Ec);
}

// What the list tells of each adapter comes from sysfs and the by-id links; a re-plugged adapter
// under another tty number is remembered by its link.
TEST(ComPortEnum, UsbAdaptersAreDescribedFromSysfsAndRememberedByTheirStableName)
{
    kvt::test::TFakeTree T;
    T.UsbAdapter("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A10K3X");
    T.UsbAdapter("ttyACM0", "1-2", "Prolific", "Prolific USB-Serial", "", "cdc_acm");
    T.Uart("ttyS0", 4);
    std::vector<kvt::TPortInfo> Ports = ks::SystemPortsIn(T.Sys(), T.Dev());
    kvt::SortPortsByName(Ports);
    ASSERT_EQ(Ports.size(), 3u);
    const kvt::TPortInfo& Usb = Ports[2];
    EXPECT_EQ(kvt::PortDisplayText(Usb), "ttyUSB0 \u2014 FTDI FT232R USB UART (A10K3X)");
    EXPECT_EQ(Usb.Manufacturer, "FTDI");
    EXPECT_EQ(Usb.SerialNumber, "A10K3X");
    EXPECT_EQ(Usb.HardwareId, "0403:6001");
    EXPECT_EQ(Usb.Driver, "ftdi_sio");
    const std::string Stable = T.Dev() + "/serial/by-id/usb-FTDI_FT232R USB UART_A10K3X-if00-port0";
    EXPECT_EQ(Usb.StableName, Stable);
    // A product that names its maker is not named twice; no serial number, no stable name.
    EXPECT_EQ(kvt::PortDisplayText(Ports[0]), "ttyACM0 \u2014 Prolific USB-Serial");
    EXPECT_EQ(Ports[0].Driver, "cdc_acm");
    EXPECT_TRUE(Ports[0].StableName.empty());
    EXPECT_EQ(kvt::PortDisplayText(Ports[1]), "ttyS0");

    EXPECT_EQ(kvt::RememberedPortName(Ports, "ttyUSB0"), Stable);
    EXPECT_EQ(kvt::RememberedPortName(Ports, "ttyACM0"), "ttyACM0");
    // Unplugged and back as ttyUSB1: the remembered name finds it.
    T.Remove("sys/class/tty/ttyUSB0");
    T.Remove("dev/ttyUSB0");
    T.Remove("dev/serial");
    T.UsbAdapter("ttyUSB1", "1-3", "FTDI", "FT232R USB UART", "A10K3X");
    Ports = ks::SystemPortsIn(T.Sys(), T.Dev());
    EXPECT_EQ(kvt::CurrentPortName(Ports, Stable), "ttyUSB1");
    EXPECT_EQ(kvt::CurrentPortName(Ports, "ttyACM0"), "ttyACM0");
    EXPECT_EQ(kvt::CurrentPortName(Ports, "/dev/pts/4"), "/dev/pts/4");
}
