// The loop test window: the output driven at a percentage of its range or at a value typed, the
// value and code shown, and given back whatever ends the test.
#include "window_fixture.h"

#include "protocol/commands.h"
#include "ui/looptestdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

class WindowLoopTest : public TWindowTest {
protected:
    TLoopTestDialog* Open()
    {
        Choose("MCommLoopTest");
        auto* d = Window().findChild<TLoopTestDialog*>(QStringLiteral("FrmLoopTest"));
        EXPECT_TRUE(d != nullptr && d->isVisible());
        return d;
    }
    // The output frames (command, code) once Count of them have come.
    std::vector<std::pair<int, int>> Outputs(size_t Count)
    {
        auto outputs = [this] {
            std::vector<std::pair<int, int>> o;
            for (const TFrame& f : Frames())
                if (f[0] == CmdOutputDrive || f[0] == CmdOutputRelease)
                    o.emplace_back(f[0], f[3] * 256 + f[4]);
            return o;
        };
        WaitUntil([&] { return outputs().size() >= Count; });
        Pump(50);
        return outputs();
    }
};

using TOut = std::vector<std::pair<int, int>>;

} // namespace

TEST_F(WindowLoopTest, DrivesPercentagesAndValuesAndReleasesOnClose)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    ClearFrames();
    TLoopTestDialog* d = Open();
    ASSERT_NE(d, nullptr);
    // The range 3300 .. 16100 is 4 .. 20 mA with the simulator's calibration.
    Click(d->BtnLoop[2]);
    EXPECT_EQ(Outputs(1), (TOut{{CmdOutputDrive, 9700}}));
    EXPECT_TRUE(d->LblLoopDriven->text().contains(QStringLiteral("12")) && d->LblLoopDriven->text().contains(QStringLiteral("9700")))
        << d->LblLoopDriven->text().toStdString();
    d->EdtLoopValue->setText(QStringLiteral("20"));
    Click(d->BtnLoopDrive);
    EXPECT_EQ(Outputs(2).back(), std::make_pair(int(CmdOutputDrive), 16100));

    // A value the output cannot take: a box, and no frame.
    d->EdtLoopValue->setText(QStringLiteral("25mA"));
    Click(d->BtnLoopDrive);
    d->EdtLoopValue->setText(QStringLiteral("5V"));
    Click(d->BtnLoopDrive);
    EXPECT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Outputs(2).size(), 2u);

    Click(d->BtnLoopClose);
    EXPECT_EQ(Outputs(3).back(), std::make_pair(int(CmdOutputRelease), 0));
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(d->Driven());
}

TEST_F(WindowLoopTest, TheEndOfTheConnectionOrOfTheWindowReleases)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    ClearFrames();
    TLoopTestDialog* d = Open();
    ASSERT_NE(d, nullptr);
    Click(d->BtnLoop[4]);
    // Closing the connection: released once by the test, once by the menu command as always.
    Choose("MCommEnd");
    EXPECT_EQ(Outputs(3), (TOut{{CmdOutputDrive, 16100}, {CmdOutputRelease, 0}, {CmdOutputRelease, 0}}));
    EXPECT_FALSE(d->isVisible());

    // A reload gives the output back before the port is opened again (the simulator forgets the
    // frames of a line that is opened anew: the window's own exchanges tell the order).
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    d = Open();
    std::vector<int> sent;
    const int key = Window().Model.Subscribe([&](const TModelChange& C) {
        if (C.Kind == TModelChange::TKind::Exchange && !C.Exchange->LineOnly)
            sent.push_back(C.Exchange->Command());
    });
    Click(d->BtnLoop[3]);
    Click(Window().SpdBtnReload);
    Window().Model.Unsubscribe(key);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ((std::vector<int>{sent[0], sent[1], sent[2]}), (std::vector<int>{CmdOutputDrive, CmdOutputRelease, CmdIdentify}));
    EXPECT_FALSE(d->Driven());
    Choose("MCommEnd");

    // A lost line: nothing can be sent any more, and the test ends.
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    d = Open();
    Click(d->BtnLoop[0]);
    ASSERT_TRUE(d->Driven());
    Sim().HangUp();
    EXPECT_TRUE(WaitUntil([&] { return !d->isVisible(); }));
    EXPECT_FALSE(d->Driven());

    // Closing the main window.
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    ClearFrames();
    d = Open();
    Click(d->BtnLoop[1]);
    EXPECT_EQ(Outputs(1), (TOut{{CmdOutputDrive, 6500}}));
    Window().close();
    EXPECT_EQ(Outputs(2).at(1), std::make_pair(int(CmdOutputRelease), 0));
}
