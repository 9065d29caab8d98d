// The window's port list as the system describes it, and the search for the converter.
#include "window_fixture.h"

#include "platform/simregistry.h"
#include "serial/portinfo.h"
#include "tests/serial/fake_tree.h"
#include "ui/portbox.h"
#include "ui/settings.h"

#include <QComboBox>

#include <memory>

namespace kvt::ui::test {

class WindowFind : public TWindowTest {
protected:
    // The window on an empty system of the test's own, with Live converters (the fixture's first)
    // and Mute silent ones listed as running simulators.
    TFrmMain& System(int Live, int Mute)
    {
        TFrmMain& w = Window();
        w.System.SysRoot = Tree.Sys();
        w.System.DevRoot = Tree.Dev();
        w.System.ProcRoot = Tree.Proc();
        w.System.SimRegistryDir = Tree.Root + "/reg";
        for (int i = 0; i < Live + Mute; ++i) {
            sim::TSimulator* s = nullptr;
            if (i == 0 && Live > 0) {
                s = &StartSim(PcConfig(10));
            } else {
                Others.push_back(std::make_unique<sim::TSimulator>(PcConfig(12)));
                s = Others.back().get();
                if (i >= Live) {
                    sim::TFaults f;
                    f.Mute = true;
                    s->SetFaults(f);
                }
                s->Start();
            }
            Registrations.push_back(std::make_unique<TSimPortRegistration>(s->DevicePath(), w.System.SimRegistryDir));
        }
        return w;
    }

    kvt::test::TFakeTree Tree;
    std::vector<std::unique_ptr<sim::TSimulator>> Others;
    std::vector<std::unique_ptr<TSimPortRegistration>> Registrations;
};

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

// One converter among silent ports: found and connected with the very frames the connect button
// sends, after the search's two questions.
TEST_F(WindowFind, OneConverterIsFoundAndConnectedAsByTheConnectButton)
{
    TFrmMain& w = System(1, 3);
    // A first connect writes back what the fresh window's buttons show; the later ones compare.
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    Choose("MCommEnd");
    WaitUntil([&] { return !Commands().empty() && Commands().back() == CmdOutputRelease; });
    ClearFrames();
    TypePort(QString());
    Choose("MCommFind");
    Pump();
    ASSERT_TRUE(w.PanelConfig->isVisible()) << BoxTexts().size();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(w.CmbBxPort->currentText(), QString::fromStdString(Sim().DevicePath()));
    std::vector<int> commands = Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + 2), (std::vector<int>{CmdIdentify, CmdReadVersion}));
    commands.erase(commands.begin(), commands.begin() + 2);
    for (const auto& s : Others)
        EXPECT_TRUE(s->Received().size() == 1 && s->Received()[0][0] == CmdIdentify);

    Choose("MCommEnd");
    WaitUntil([&] { return !Commands().empty() && Commands().back() == CmdOutputRelease; });
    ClearFrames();
    PressConnect();
    ASSERT_TRUE(w.PanelConfig->isVisible());
    EXPECT_EQ(Commands(), commands);
}

TEST_F(WindowFind, NoConverterSaysWhatEachPortGaveAndTwoAreOfferedToChoose)
{
    TFrmMain& w = System(0, 2);
    Tree.Uart("ttyS0", 4);
    Tree.File("proc/consoles", "ttyS0 -W- (EC p a) 4:64\n");
    w.FillPortList();
    Choose("MCommFind");
    Pump();
    EXPECT_FALSE(w.PanelConfig->isVisible());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
    EXPECT_EQ(Boxes()[0].Text, QStringLiteral("Na žádném portu neodpovídá převodník."));
    EXPECT_TRUE(Boxes()[0].Detail.contains(QStringLiteral("ttyS0: nedotazován: systémová konzole"))) << Boxes()[0].Detail.toStdString();
    EXPECT_TRUE(Boxes()[0].Detail.contains(QString::fromStdString(Others[1]->DevicePath()) + QStringLiteral(": žádná odpověď do 800 ms")));
    Registrations.clear();
    Others.clear();
    Seam().Boxes.clear();

    System(2, 0);
    Seam().ChooseAnswers.push_back(1);
    Choose("MCommFind");
    Pump();
    ASSERT_EQ(Seam().Choices.size(), 1u);
    EXPECT_EQ(Seam().Choices[0].Detail.count(QStringLiteral("firmware")), 2);
    ASSERT_TRUE(w.PanelConfig->isVisible()) << (Boxes().empty() ? std::string() : Boxes()[0].Text.toStdString());
    EXPECT_EQ(w.CmbBxPort->currentText(), QString::fromStdString(Others[0]->DevicePath()));
    EXPECT_TRUE(StatusPanel(0).contains(QStringLiteral("KVT27L")));

    // Cancelled: nothing connects.
    Choose("MCommEnd");
    Choose("MCommFind");
    Pump();
    EXPECT_FALSE(w.PanelConfig->isVisible());
    EXPECT_EQ(Seam().Choices.size(), 2u);
}

} // namespace kvt::ui::test

namespace kvt::ui::test {

// Beside the program's own messages, the causes it can find: a port not there, a silent converter.
TEST_F(WindowFind, APortThatDoesNotWorkSaysWhy)
{
    TFrmMain& w = Window();
    TypePort(QStringLiteral("ttyNoSuchPort"));
    PressConnect();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, w.MsgBadPort);
    EXPECT_TRUE(Boxes()[0].Detail.contains(QStringLiteral("Port ttyNoSuchPort v systému není"))) << Boxes()[0].Detail.toStdString();

    StartSim(PcConfig(10));
    sim::TFaults mute;
    mute.Mute = true;
    Sim().SetFaults(mute);
    Seam().Boxes.clear();
    Choose("MLangEN");
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, w.MsgLinkLost);
    EXPECT_TRUE(Boxes()[0].Detail.contains(QStringLiteral("did not reply within 800 ms: check that it is powered, that the cable is in its PC socket")))
        << Boxes()[0].Detail.toStdString();
}

} // namespace kvt::ui::test

namespace kvt::ui::test {

// A line lost because the device went away shows on the connect panel; the same adapter back under
// another name is selected in the port box, and nothing is sent until the user connects.
TEST_F(WindowFind, AnUnpluggedAdapterIsSelectedAgainWhenItComesBack)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(10)));
    TFrmMain& w = Window();
    const QString device = QString::fromStdString(Sim().DevicePath());
    Seam().OnBox = {};
    Sim().Stop();
    ASSERT_TRUE(WaitUntil([&] { return w.PanelConnect->isVisible(); }));
    EXPECT_TRUE(w.LblReplug->isVisible());
    EXPECT_TRUE(w.LblReplug->text().contains(device)) << w.LblReplug->text().toStdString();
    EXPECT_TRUE(w.TmrReplug->isActive());

    // The adapter behind a stable name, away and back as another tty.
    kvt::test::TFakeTree T;
    T.UsbAdapter("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A10K3X");
    w.System.SysRoot = T.Sys();
    w.System.DevRoot = T.Dev();
    w.System.SimRegistryDir = T.Root + "/reg";
    w.FillPortList();
    T.Remove("sys/class/tty/ttyUSB0");
    T.Remove("dev");
    w.WatchForAdapter(QStringLiteral("ttyUSB0"));
    w.ReplugTick();
    EXPECT_TRUE(w.TmrReplug->isActive());
    T.UsbAdapter("ttyUSB1", "1-4", "FTDI", "FT232R USB UART", "A10K3X");
    w.ReplugTick();
    EXPECT_FALSE(w.TmrReplug->isActive());
    EXPECT_EQ(w.CmbBxPort->currentText(), QStringLiteral("ttyUSB1"));
    EXPECT_TRUE(w.LblReplug->text().contains(QStringLiteral("ttyUSB1")));
    EXPECT_FALSE(w.ComPort.Active()) << "nothing connects by itself";
}

} // namespace kvt::ui::test
