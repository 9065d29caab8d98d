// The window's port list as the system describes it, and the search for the converter.
#include "window_fixture.h"

#include "serial/portinfo.h"
#include "tests/serial/fake_tree.h"
#include "ui/portbox.h"
#include "ui/settings.h"

#include <QComboBox>

namespace kvt::ui::test {

class WindowFind : public TWindowTest {};

// An adapter is listed with its maker, product and serial number, and the port connected last is
// remembered by its stable name: after a re-plug under another number the field shows the new one.
TEST_F(WindowFind, ThePortBoxDescribesAdaptersAndFindsARememberedOneUnderItsNewName)
{
    kvt::test::TFakeTree T;
    T.UsbAdapter("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A10K3X");
    TFrmMain& W = Window();
    W.System.SysRoot = T.Sys();
    W.System.DevRoot = T.Dev();
    W.System.SimRegistryDir = T.Root + "/no-registry";
    W.FillPortList();
    ASSERT_EQ(W.CmbBxPort->count(), 1);
    EXPECT_EQ(W.CmbBxPort->itemText(0), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(W.CmbBxPort->itemData(0, PortListTextRole).toString(),
              QString::fromUtf8("ttyUSB0 \u2014 FTDI FT232R USB UART (A10K3X)"));
    const QString stable = RememberedPortText(W.CmbBxPort, QStringLiteral("ttyUSB0"));
    EXPECT_TRUE(stable.endsWith(QStringLiteral("/serial/by-id/usb-FTDI_FT232R USB UART_A10K3X-if00-port0"))) << stable.toStdString();
    EXPECT_EQ(RememberedPortText(W.CmbBxPort, QStringLiteral("/dev/pts/9")), QStringLiteral("/dev/pts/9"));

    T.Remove("sys/class/tty/ttyUSB0");
    T.Remove("dev");
    T.UsbAdapter("ttyUSB1", "1-4", "FTDI", "FT232R USB UART", "A10K3X");
    W.CmbBxPort->setEditText(stable);
    W.FillPortList();
    EXPECT_EQ(W.CmbBxPort->currentText(), QStringLiteral("ttyUSB1"));
    EXPECT_EQ(W.CmbBxPort->currentIndex(), 0);
}

} // namespace kvt::ui::test
