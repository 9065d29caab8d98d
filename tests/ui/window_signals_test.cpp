// The kind and option buttons: each writes what it stands for once, when it becomes checked.
#include "window_fixture.h"

#include "protocol/commands.h"

#include <QLabel>
#include <QRadioButton>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {
class WindowSignalsTest : public TWindowTest {};
} // namespace

TEST_F(WindowSignalsTest, KindButtonsWriteOnceWhenTheyBecomeCheckedAndNeverWhenAlreadyChecked)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();

    Click(w.RdBtnAII); // already checked
    Click(w.RdBtnAOI);
    Click(w.RdBtnFilt0);
    Pump();
    EXPECT_TRUE(Frames().empty());

    Click(w.RdBtnAIUH);
    Pump();
    using W = std::vector<std::pair<int, int>>;
    EXPECT_EQ(Writes(), (W{{4, 4}}));
    EXPECT_EQ(Frames().size(), 1u);
    EXPECT_EQ(w.DeviceSettings.InputMode, 4);
    // The input handler redraws: the numeric tab follows with the voltage kind.
    EXPECT_TRUE(w.RdBtnNumAIU->isChecked());
    EXPECT_EQ(w.LblNumBeginUnit->text(), "V");
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "002,143"); // InZero 38000 with 32000 / 60000 as volts
    EXPECT_EQ(w.RdBtnAIUH->isChecked(), true);

    ClearFrames();
    Click(w.RdBtnAOU);
    Click(w.RdBtnFilt2);
    Pump();
    EXPECT_EQ(Writes(), (W{{6, 4}, {8, 2}}));
    EXPECT_EQ(w.DeviceSettings.OutputMode, 4);
    EXPECT_EQ(w.DeviceSettings.FilterType, 2);
    EXPECT_TRUE(w.RdBtnNumAOI->isChecked()) << "the output handler does not redraw";
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowSignalsTest, ReactionButtonsFollowTheConfiguration)
{
    ASSERT_TRUE(ConnectToSim(DipConfig(ModelKVT27, 0)));
    TFrmMain& w = Window();
    Seam().Boxes.clear();
    ClearFrames();
    Click(w.RdBtnZeroDrop);
    Click(w.RdBtn35mADrop);
    Pump();
    using W = std::vector<std::pair<int, int>>;
    EXPECT_EQ(Writes(), (W{{44, 1}, {44, 3}}));
    EXPECT_EQ(w.DeviceSettings.LimitReaction, 3);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowSignalsTest, NothingIsWrittenWhileTheSettingsLoad)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();
    w.Loading = true;
    Click(w.RdBtnAIOV);
    Click(w.RdBtnAOU);
    Click(w.RdBtnFilt1);
    w.Loading = false;
    Pump();
    EXPECT_TRUE(Frames().empty());
    EXPECT_EQ(w.DeviceSettings.InputMode, 3);
    EXPECT_EQ(w.DeviceSettings.OutputMode, 3);
    EXPECT_EQ(w.DeviceSettings.FilterType, 0);
}

TEST_F(WindowSignalsTest, AFailedKindWriteReportsTheLinkOnceAndKeepsTheNewKind)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    sim::TFaults mute;
    mute.Mute = true;
    Sim().SetFaults(mute);
    Click(w.RdBtnAIOV);
    Pump();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, w.MsgLinkLost);
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(w.DeviceSettings.InputMode, 6) << "the copy keeps the new value";
    EXPECT_FALSE(w.RdBtnNumAIOV->isChecked()) << "the action ends with the lost link";
}

TEST_F(WindowSignalsTest, ACablePulledAtTheFirstWriteBackIsReportedOnce)
{
    // Identification and load answered, then the line goes as the first write-back leaves.
    StartSim(PcConfig(ModelKVT27));
    sim::TFaults faults;
    faults.HangUpAfterFrames = 4 + 18;
    Sim().SetFaults(faults);
    TFrmMain& w = Window();
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    Pump(200);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgCableLost});
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
}

TEST_F(WindowSignalsTest, AWriteBackThatFailsDuringTheConnectEndsItOnTheConnectPanel)
{
    // The first write-back fails and closes the port, which ends the whole connect: one box.
    auto config = PcConfig(ModelKVT27);
    StartSim(config);
    sim::TFaults faults;
    faults.OnlyCommand = CmdWriteWord;
    faults.BadCrc = true;
    Sim().SetFaults(faults);
    TFrmMain& w = Window();
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgLinkLost});
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.PanelConfig->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
    EXPECT_EQ(LastWrite(WordOutputMode), -1) << "nothing after the error";
}
