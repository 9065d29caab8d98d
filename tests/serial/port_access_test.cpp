// The port helpers: a name from the port list as the device to open, and why a port did not open.
#include "serial/port_access.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kvt;

TEST(PortAccess, NamesAndReasons)
{
    EXPECT_EQ(PortDeviceName(" ttyUSB0 "), "/dev/ttyUSB0");
    EXPECT_EQ(PortDeviceName("/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(PortDeviceName("  "), "");

    const std::string denied = PortOpenFailureDetail(EACCES, "Permission denied", "uucp");
    EXPECT_EQ(denied.rfind("Permission denied.", 0), 0u);
    EXPECT_NE(denied.find("sudo usermod -aG uucp $USER"), std::string::npos);
    EXPECT_NE(denied.find("log in again"), std::string::npos);
    EXPECT_NE(PortOpenFailureDetail(EPERM, "Operation not permitted").find("usermod -aG dialout"), std::string::npos);
    const std::string missing = PortOpenFailureDetail(ENOENT, "No such file or directory");
    EXPECT_EQ(missing.find("usermod"), std::string::npos);
    EXPECT_NE(missing.find("No such file or directory."), std::string::npos);
    EXPECT_EQ(PortOpenFailureDetail(0, "Invalid port"), "Invalid port.");
    EXPECT_EQ(PortAccessGroup("/nonexistent/tty"), "dialout");
}
