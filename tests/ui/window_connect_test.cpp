// Connecting to the simulator: identification, the settings load, what the tabs show, every way
// back to the connect panel, languages after a connect.
#include "window_fixture.h"

#include "protocol/commands.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"
#include "serial/comport.h"
#include "serial/simregistry.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QRadioButton>
#include <QtTest/QTest>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

class WindowConnectTest : public TWindowTest {
protected:
    void TearDown() override
    {
        QLocale::setDefault(QLocale::system());
        TWindowTest::TearDown();
    }
};

QString U(const char* Utf8)
{
    return QString::fromUtf8(Utf8);
}

const std::vector<int> LoadOrder = {4, 6, 14, 16, 8, 130, 132, 138, 140, 10, 12, 44, 134, 136, 142, 144, 14, 16};

std::vector<int> Expected(std::initializer_list<int> Head, int Reads, std::initializer_list<int> Tail)
{
    std::vector<int> v(Head);
    v.insert(v.end(), static_cast<size_t>(Reads), CmdReadWord);
    v.insert(v.end(), Tail);
    return v;
}

} // namespace

TEST_F(WindowConnectTest, ConnectToKVT27IdentifiesLoadsAndWritesBackWhatItChecks)
{
    auto config = PcConfig(ModelKVT27);
    config.Words[WordLimitReaction] = 0;
    ASSERT_TRUE(ConnectToSim(config)) << BoxTexts().size();
    TFrmMain& w = Window();

    // Identification, the eighteen reads, then the write-back of every button DrawForm checked.
    EXPECT_EQ(Commands(), Expected({CmdIdentify, CmdReadVersion, CmdReadTemperature, CmdReadConfig}, 18,
                                   {CmdWriteWord, CmdWriteWord, CmdWriteWord, CmdWriteWord}));
    EXPECT_EQ(ReadAddresses(), LoadOrder);
    const std::vector<std::pair<int, int>> writes = {{4, 3}, {6, 3}, {8, 0}, {44, 0}};
    EXPECT_EQ(Writes(), writes);
    const int station = w.DeviceSettings.StationAddress;
    EXPECT_GE(station, 1);
    EXPECT_LE(station, 254);
    for (const TFrame& f : Frames())
        EXPECT_EQ(f[1], station);
    EXPECT_TRUE(Boxes().empty());

    EXPECT_EQ(StatusPanel(0), U("Převodník KVT27, firmware: 1.200/160822"));
    EXPECT_EQ(StatusPanel(1), QString::fromStdString(Sim().DevicePath()));
    EXPECT_TRUE(StatusPanel(2).endsWith(" ms"));
    EXPECT_EQ(StatusPanel(3), U("25 °C"));

    EXPECT_FALSE(w.PanelConnect->isVisible());
    for (QWidget* tab : {w.TbSignals, w.TbOptions, w.TbDatalog, w.TbShtNumeral})
        EXPECT_TRUE(w.PgControl->TabVisible(tab));
    EXPECT_EQ(w.PgControl->currentWidget(), w.TbSignals);
    EXPECT_TRUE(w.GrpBxSignalLimit->isVisibleTo(w.TbOptions)) << "firmware above 1.100/000000";
    EXPECT_EQ(w.GrpBxAI->title(), U(" Analogový VSTUP izolovaný - AD (20 bitů) "));
    EXPECT_EQ(w.GrpBxAO->title(), U(" Analogový VÝSTUP izolovaný - DA (14 bitů) "));
    EXPECT_FALSE(w.PrgBarLoadEE->isHidden()) << "left at its last step";
    EXPECT_EQ(w.PrgBarLoadEE->value(), 90);
    EXPECT_FALSE(w.Loading);

    // What the loaded words look like on the tabs.
    EXPECT_TRUE(w.RdBtnAII->isChecked());
    EXPECT_TRUE(w.RdBtnAOI->isChecked());
    EXPECT_TRUE(w.RdBtnFilt0->isChecked());
    EXPECT_TRUE(w.RdBtnNoReaction->isChecked());
    EXPECT_TRUE(w.RdBtnNumAII->isChecked());
    EXPECT_EQ(w.SpnEdtAOZero->text(), "3300");
    EXPECT_EQ(w.SpnEdtAOEnd->text(), "16100");
    EXPECT_EQ(w.LblAIUSRZero->text(), "4000 uA");
    EXPECT_EQ(w.LblAIUSREnd->text(), "20000 uA");
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "004,000");
    EXPECT_EQ(w.MaskEdtNumEnd->Text(), "020,000");
    EXPECT_EQ(w.LblNumBeginUnit->text(), "mA");
    EXPECT_EQ(w.MaskEdtAONumBegin->Text(), "04,000");
    EXPECT_EQ(w.MaskEdtAONumEnd->Text(), "20,000");
    EXPECT_EQ(w.LblNumAOBegin->text(), "mA");
    EXPECT_EQ(w.LblDtaUnit->text(), "uA");
    EXPECT_EQ(w.Chart.FullScale(), 22000);
    EXPECT_TRUE(w.RdBtnAIUL->isVisibleTo(w.GrpBxAI));
    EXPECT_TRUE(w.GrpBxFilter->isVisibleTo(w.TbOptions));
    EXPECT_EQ(w.OutCodeMax, 16383);
    EXPECT_EQ(w.BarDivisor, 82);
    // Under the PC configuration only the no-reaction button is enabled.
    EXPECT_TRUE(w.RdBtnNoReaction->isEnabled());
    EXPECT_FALSE(w.RdBtnZeroDrop->isEnabled());
    EXPECT_FALSE(w.RdBtn35mADrop->isEnabled());
}

TEST_F(WindowConnectTest, ConnectToKVT27LAdaptsTheTabsAndSendsNoDriveFrame)
{
    auto config = PcConfig(ModelKVT27L);
    config.Words[WordOutZero] = 20000; // beyond any field's maximum
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();

    EXPECT_EQ(Commands(), Expected({CmdIdentify, CmdReadVersion, CmdReadConfig}, 18,
                                   {CmdWriteWord, CmdWriteWord, CmdWriteWord, CmdWriteWord}));
    EXPECT_TRUE(FramesOf(CmdOutputDrive).empty());
    EXPECT_TRUE(FramesOf(CmdOutputRelease).empty());
    EXPECT_EQ(StatusPanel(0), U("Převodník KVT27L, firmware: 1.200/160822"));
    EXPECT_EQ(StatusPanel(3), QString()) << "no temperature for a KVT27L";

    EXPECT_EQ(w.SpnEdtAOZero->text(), "8191") << "the field's own maximum";
    EXPECT_EQ(w.DeviceSettings.OutZero, 20000) << "the record keeps the word";
    EXPECT_EQ(w.SpnEdtAOZero->MaxValue(), 8191);
    EXPECT_EQ(w.OutCodeMax, 8191);
    EXPECT_EQ(w.BarDivisor, 41);
    EXPECT_TRUE(w.RdBtnAIUL->isHidden());
    EXPECT_TRUE(w.RdBtnNumAIUL->isHidden());
    EXPECT_TRUE(w.GrpBxFilter->isHidden());
    EXPECT_TRUE(w.GrpBxSignalLimit->isVisibleTo(w.TbOptions));
    EXPECT_EQ(w.RdBtnAOU->text(), "0 - 10 V DC");
    EXPECT_EQ(w.RdBtnNumAII->text(), "0 - 20 mA DC");
    EXPECT_EQ(w.LblBarAOEnd100->text(), U("100% (8190bitů)"));
    EXPECT_EQ(w.GrpBxAI->title(), U(" Analogový VSTUP izolovaný - AD (13 bitů) "));

    Choose("MLangEN");
    EXPECT_EQ(w.GrpBxAI->title(), " Analogue INPUT isolated - AD (13 bits) ");
    EXPECT_EQ(w.GrpBxAO->title(), " Analogue OUTPUT isolated - DA (13 bits) ");
}

TEST_F(WindowConnectTest, ReloadIsANewConnectionThatWritesNothingBackAndMovesNoFocus)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    // The user is in the begin field when reloading: the field must neither drive nor release.
    QTest::mouseClick(w.SpnEdtAOZero, Qt::LeftButton);
    // Entering the field drives the output; that frame gets no reply, so wait for it to arrive.
    ASSERT_TRUE(WaitUntil([&] { return !FramesOf(CmdOutputDrive).empty(); }));
    ClearFrames();
    Click(w.SpdBtnReload);
    Pump();
    EXPECT_EQ(Commands(), Expected({CmdIdentify, CmdReadVersion, CmdReadTemperature, CmdReadConfig}, 18, {}));
    EXPECT_TRUE(w.PanelConfig->isVisible());
    EXPECT_TRUE(w.PgControl->isEnabled());
    EXPECT_TRUE(Boxes().empty());
    const QWidget* focus = QApplication::focusWidget();
    EXPECT_NE(focus, w.SpnEdtAOZero);
    EXPECT_NE(focus, w.SpnEdtAOEnd);
}

TEST_F(WindowConnectTest, DipConfigurationIsReportedAndShownWithoutTheSignalTab)
{
    ASSERT_TRUE(ConnectToSim(DipConfig(ModelKVT27, 0)));
    TFrmMain& w = Window();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Warning);
    EXPECT_EQ(Boxes()[0].Text, U("KVT27/KVT27L je nyní nastaven v konfiguraci: \r\r0/4 - 20 mA DC na 0/4 - 20 mA DC\r\r"
                                 "DIP přepínač na převodníku není nastaven pro konfiguraci kabelem. Funkce programu "
                                 "jsou omezeny."));
    EXPECT_FALSE(w.PgControl->TabVisible(w.TbSignals));
    EXPECT_TRUE(w.PgControl->TabVisible(w.TbOptions));
    EXPECT_TRUE(w.PgControl->TabVisible(w.TbDatalog));
    EXPECT_TRUE(w.PgControl->TabVisible(w.TbShtNumeral));
    EXPECT_EQ(w.PgControl->currentWidget(), w.TbOptions);
    EXPECT_EQ(ReadAddresses(), LoadOrder);
    for (QRadioButton* b : {w.RdBtnNoReaction, w.RdBtnZeroDrop, w.RdBtnMaxRise, w.RdBtn35mADrop})
        EXPECT_TRUE(b->isEnabled());
}

TEST_F(WindowConnectTest, ConfigurationsThatAreNotAllowedEndTheConnection)
{
    // 12 is one of the unused switch positions; 16 cannot come from four switches at all.
    for (int config : {12, 16}) {
        SCOPED_TRACE(config);
        Seam().Boxes.clear();
        ASSERT_FALSE(ConnectToSim(DipConfig(ModelKVT27, config)));
        TFrmMain& w = Window();
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Warning);
        EXPECT_EQ(Boxes()[0].Text, w.MsgConfigIs + "\r\r" + w.MsgBadConfig + "\r\r" + w.MsgDipNotPc);
        EXPECT_TRUE(ReadAddresses().empty());
        EXPECT_TRUE(w.PanelConnect->isVisible());
        EXPECT_FALSE(w.ComPort.Active());
        EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
        EXPECT_EQ(StatusPanel(0), w.MsgSelectPort);
    }
}

TEST_F(WindowConnectTest, StoredOutOfRangeReactionUnderAnotherConfigurationIsRefusedAtConnect)
{
    auto config = DipConfig(ModelKVT27, 3);
    config.Words[WordLimitReaction] = 3;
    ASSERT_TRUE(ConnectToSim(config));
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1].Kind, TBoxKind::Error);
    EXPECT_EQ(Boxes()[1].Text, Window().MsgDropOnlyCurrent);
    EXPECT_EQ(LastWrite(WordLimitReaction), -1);
    EXPECT_TRUE(Window().RdBtn35mADrop->isChecked());
    EXPECT_FALSE(Window().RdBtn35mADrop->isEnabled());
}

TEST_F(WindowConnectTest, FailedIdentificationsReturnToTheConnectPanel)
{
    struct TCase {
        const char* Name;
        sim::TFaults Faults;
        int Model;
        bool LinkLost;
    };
    sim::TFaults mute;
    mute.Mute = true;
    sim::TFaults wrongStation;
    wrongStation.WrongStation = true;
    sim::TFaults noConfig;
    noConfig.NoReplyToCommand = CmdReadConfig;
    const TCase cases[] = {
        {"no answer", mute, ModelKVT27, true},
        {"another station address", wrongStation, ModelKVT27, false},
        {"another model", {}, 11, false},
        {"no configuration reply", noConfig, ModelKVT27, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Seam().Boxes.clear();
        auto config = PcConfig(ModelKVT27);
        config.Model = c.Model;
        StartSim(config);
        Sim().SetFaults(c.Faults);
        TFrmMain& w = Window();
        TypePort(QString::fromStdString(Sim().DevicePath()));
        PressConnect();
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
        EXPECT_EQ(Boxes()[0].Text, c.LinkLost ? w.MsgLinkLost : w.MsgNoConverter);
        EXPECT_TRUE(w.PanelConnect->isVisible());
        EXPECT_FALSE(w.PanelConfig->isVisible());
        EXPECT_FALSE(w.ComPort.Active());
        EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
        EXPECT_TRUE(ReadAddresses().empty());
        EXPECT_EQ(StatusPanel(0), w.MsgSelectPort);
    }

    // The late reply to a connect that gave up comes while the next one waits: it is not fooled.
    Sim().SetFaults({.ReplyDelayMs = 1000});
    Seam().Boxes.clear();
    PressConnect();
    Sim().SetFaults({});
    Seam().Boxes.clear();
    PressConnect();
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front().toStdString();
    EXPECT_TRUE(Window().PanelConfig->isVisible());
}

TEST_F(WindowConnectTest, APortThatOpensNothingIsReportedAndTheButtonWorksAgain)
{
    TFrmMain& w = Window();
    for (const char* text : {"/nonexistent/ttyX", "", "ttyNoSuchPort"}) {
        SCOPED_TRACE(text);
        Seam().Boxes.clear();
        TypePort(text);
        PressConnect();
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].Text, w.MsgBadPort);
        EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
        EXPECT_FALSE(w.ComPort.Active());
        EXPECT_TRUE(w.PanelConnect->isVisible());
        EXPECT_EQ(StatusPanel(0), w.MsgSelectPort) << "the connect panel stays as it was";
    }
}

TEST_F(WindowConnectTest, APortThatCannotOpenGivesTheSystemsReasonAsDetail)
{
    TFrmMain& w = Window();
    TypePort("/nonexistent/ttyX");
    PressConnect();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, w.MsgBadPort) << "the message keeps its text";
    EXPECT_TRUE(Boxes()[0].Detail.contains("No such file or directory")) << Boxes()[0].Detail.toStdString();

    // A port held by another program says so as well.
    StartSim(PcConfig(ModelKVT27));
    TComPort other;
    other.SetDeviceName(Sim().DevicePath());
    other.SetActive(true);
    Seam().Boxes.clear();
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, w.MsgBadPort);
    EXPECT_TRUE(Boxes()[0].Detail.contains("busy")) << Boxes()[0].Detail.toStdString();
    EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
}

TEST_F(WindowConnectTest, RunningSimulatorsAreListedAfterTheSystemsPorts)
{
    StartSim(PcConfig(ModelKVT27));
    kvt::TSimPortRegistration registration(Sim().DevicePath());
    ASSERT_TRUE(registration.Registered()) << registration.Error();

    std::vector<std::string> system;
    TCustomComPort::EnumPorts(system);
    TFrmMain& w = Window();
    ASSERT_EQ(w.CmbBxPort->count(), static_cast<int>(system.size()) + 1);
    for (size_t i = 0; i < system.size(); ++i)
        EXPECT_EQ(w.CmbBxPort->itemText(static_cast<int>(i)).toStdString(), system[i]);
    EXPECT_EQ(w.CmbBxPort->itemText(w.CmbBxPort->count() - 1).toStdString(), Sim().DevicePath());
    EXPECT_EQ(w.CmbBxPort->currentIndex(), -1) << "no item is selected";

    // Picking it connects to the simulator.
    w.CmbBxPort->setCurrentIndex(w.CmbBxPort->count() - 1);
    PressConnect();
    EXPECT_TRUE(w.PanelConfig->isVisible());
}

TEST_F(WindowConnectTest, EnterInThePortFieldConnects)
{
    StartSim(PcConfig(ModelKVT27));
    TFrmMain& w = Window();
    TypePort(QString::fromStdString(Sim().DevicePath()));
    QTest::mouseClick(w.CmbBxPort->lineEdit(), Qt::LeftButton);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    Pump();
    EXPECT_TRUE(w.PanelConfig->isVisible());
    EXPECT_EQ(FramesOf(CmdIdentify).size(), 1u) << "one key, one connect";
    const QWidget* focus = QApplication::focusWidget();
    EXPECT_NE(focus, w.SpnEdtAOZero) << "hiding the connect panel gives no field the focus";
    EXPECT_NE(focus, w.SpnEdtAOEnd);
}

TEST_F(WindowConnectTest, AWordThatDoesNotReadIsAskedOnceMoreAndNeverWrittenBackUnread)
{
    // One lost reply (frame 9 is the FilterType read): asked again, and the stored 2 stays 2.
    auto config = PcConfig(ModelKVT27);
    config.Words[WordFilterType] = 2;
    StartSim(config);
    sim::TFaults faults;
    faults.NoReplyToFrame = 9;
    Sim().SetFaults(faults);
    TFrmMain& w = Window();
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    EXPECT_TRUE(Boxes().empty());
    ASSERT_TRUE(w.PanelConfig->isVisible());
    std::vector<int> twice = LoadOrder;
    twice.insert(twice.begin() + 5, WordFilterType);
    EXPECT_EQ(ReadAddresses(), twice);
    EXPECT_TRUE(w.RdBtnFilt2->isChecked());
    EXPECT_EQ(LastWrite(WordFilterType), 2) << "written back as it was read";

    // A word that never answers ends the reload as a lost link, with nothing written back.
    Sim().SetWord(WordInZero, 50000);
    faults = {};
    faults.NoReplyToWord = WordInZero;
    Sim().SetFaults(faults);
    ClearFrames();
    Click(w.SpdBtnReload);
    Pump();
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgLinkLost});
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(ReadAddresses(), (std::vector<int>{4, 6, 14, 16, 8, 130, 132, 138, 140, 10, 10}));
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(w.DeviceSettings.InZero, 38000) << "the record keeps what was read";

    // A converter that answers the identification and then nothing: two read limits with the
    // line's quiet time (two limits) between them, one box.
    Sim().SetFaults({.NoReplyToCommand = CmdReadWord});
    Seam().Boxes.clear();
    ClearFrames();
    QElapsedTimer timer;
    timer.start();
    PressConnect();
    EXPECT_LT(timer.elapsed(), 4500);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgLinkLost});
    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(w.PanelConfig->isVisible());
}

TEST_F(WindowConnectTest, HangUpWhileConnectedReportsTheCableAndClosesThePort)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Sim().HangUp();
    ASSERT_TRUE(WaitUntil([&] { return !Boxes().empty(); }, 10000));
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
    EXPECT_EQ(Boxes()[0].Text, w.MsgCableLost);
    EXPECT_TRUE(WaitUntil([&] { return w.PanelConnect->isVisible(); }));
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
    EXPECT_EQ(StatusPanel(0), w.MsgSelectPort);
    Pump(200);
    EXPECT_EQ(Boxes().size(), 1u) << "one line error, one report";
}

TEST_F(WindowConnectTest, EndingTheConnectionReleasesTheOutputOnlyWhenAPortIsOpen)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();
    Choose("MCommEnd");
    // The release frame is not answered: wait until the simulator has taken it off the line.
    ASSERT_TRUE(WaitUntil([&] { return !Frames().empty(); }));
    EXPECT_EQ(Commands(), std::vector<int>{CmdOutputRelease});
    EXPECT_EQ(FrameParameter(Frames()[0]), 0u);
    EXPECT_EQ(Seam().Sleeps, std::vector<int>{100});
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(StatusPanel(0), w.MsgSelectPort);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(StatusPanel(i), QString());

    // Again, with no port open: back to the connect panel, no error box, nothing sent.
    Choose("MCommEnd");
    Pump(100);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Commands().size(), 1u);
    EXPECT_TRUE(w.PanelConnect->isVisible());
}

TEST_F(WindowConnectTest, ClosingTheWindowReleasesTheOutputOnceWhenConnected)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();
    Choose("MFileClose");
    ASSERT_TRUE(WaitUntil([&] { return !Frames().empty(); }));
    Pump(100);
    EXPECT_EQ(Commands(), std::vector<int>{CmdOutputRelease});
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowConnectTest, ClosingTheWindowWhileDisconnectedSendsNothing)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Choose("MCommEnd");
    ClearFrames();
    w.close();
    Pump(100);
    EXPECT_TRUE(Frames().empty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowConnectTest, AConnectAndAReloadKeepTheChosenLanguage)
{
    StartSim(PcConfig(ModelKVT27));
    TFrmMain& w = Window();
    Choose("MLangEN");
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_TRUE(w.PanelConfig->isVisible());
    Click(w.SpdBtnReload);
    Pump();
    EXPECT_EQ(w.SpdBtnReload->text(), "Reload data");
    EXPECT_EQ(w.GrpBxAI->title(), " Analogue INPUT isolated - AD (20 bits) ");
    EXPECT_EQ(w.MsgLinkLost, "Connection with KVT27 converter was terminated or no converter is connected.");
    EXPECT_TRUE(w.MLangEN->isChecked());
    EXPECT_FALSE(w.MLangCZ->isChecked());
    EXPECT_EQ(StatusPanel(0), "Converter KVT27, firmware: 1.200/160822");
}

TEST_F(WindowConnectTest, FieldFormatsFollowTheKindAndAlwaysUseTheMasksComma)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto config = PcConfig(ModelKVT27);
    config.Words[WordCalIn0mA] = 20000;
    config.Words[WordCalIn20mA] = 60000;
    config.Words[WordInZero] = 45000; // 12500 uA
    config.Words[WordInEnd] = 9500;   // -5250 uA
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "012,500");
    EXPECT_EQ(w.MaskEdtNumEnd->Text(), "-05,250");
    EXPECT_EQ(w.LblAIUSREnd->text(), "-5250 uA");

    // The conversion on the examples, through the window's own wrapper.
    w.DeviceSettings.ConfigType = 0;
    w.DeviceSettings.CalIn0mA = 1000;
    w.DeviceSettings.CalIn20mA = 41000;
    EXPECT_EQ(w.NormalizeValueAD(1000), 0);
    EXPECT_EQ(w.NormalizeValueAD(21000), 10000);
    EXPECT_EQ(w.NormalizeValueAD(41000), 20000);
    EXPECT_EQ(w.NormalizeValueAD(500), -250);
    EXPECT_EQ(w.UnitSuffix, " uA");
    w.DeviceSettings.ConfigType = 6;
    w.DeviceSettings.CalIn0V = 0;
    w.DeviceSettings.CalIn10V = 50000;
    EXPECT_EQ(w.NormalizeValueAD(25000), 5000);
    EXPECT_EQ(w.UnitSuffix, " mV");
    w.DeviceSettings.ConfigType = 9;
    EXPECT_EQ(w.NormalizeValueAD(10000), 100);
    EXPECT_EQ(w.NormalizeValueAD(250), 2);
    EXPECT_EQ(w.NormalizeValueAD(350), 4);
    EXPECT_EQ(w.UnitSuffix, " %");
    w.DeviceSettings.ConfigType = 15;
    w.DeviceSettings.InputMode = 5;
    EXPECT_EQ(w.NormalizeValueAD(32768), 0);
    EXPECT_EQ(w.NormalizeValueAD(65535), 58498);
    // Equal calibration words give 0 instead of a division by zero.
    w.DeviceSettings.ConfigType = 0;
    w.DeviceSettings.CalIn20mA = w.DeviceSettings.CalIn0mA;
    EXPECT_EQ(w.NormalizeValueAD(30000), 0);
}

TEST_F(WindowConnectTest, MillivoltRangeLabelsUseTheSystemSeparatorAndTheFieldsTheComma)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto config = PcConfig(ModelKVT27);
    config.Words[WordInputMode] = 5;
    config.Words[WordInZero] = 32768 + 6918; // 12351 hundredths of a millivolt
    config.Words[WordInEnd] = 32768;         // 0
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    EXPECT_EQ(w.LblAIUSRZero->text(), "123.5 mV");
    EXPECT_EQ(w.LblAIUSREnd->text(), "0 mV");
    EXPECT_TRUE(w.RdBtnAIUL->isChecked());
    EXPECT_TRUE(w.RdBtnNumAIUL->isChecked());
    EXPECT_EQ(w.MaskEdtNumBegin->EditMask(), "#999,9;1;0");
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "0123,5");
    EXPECT_EQ(w.MaskEdtNumEnd->Text(), "0000,0");
    EXPECT_EQ(w.LblNumBeginUnit->text(), "mV");
    EXPECT_EQ(w.LblDtaUnit->text(), "mV");
    EXPECT_EQ(w.Chart.FullScale(), 600);
}

TEST_F(WindowConnectTest, AHangUpDuringTheLoadEndsOnTheConnectPanel)
{
    // On a reload every button already shows its word, so nothing is written back after the
    // load: the closed port alone must keep the window from showing itself connected.
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    sim::TFaults faults;
    faults.HangUpAfterFrames = static_cast<int>(Sim().Counters().Frames) + 10;
    Sim().SetFaults(faults);
    Click(w.SpdBtnReload);
    Pump(100);
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes()[0].Text, w.MsgCableLost);
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.PanelConfig->isVisible()) << "not shown as connected";
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_TRUE(w.SpdBtnConnect->isEnabled());
    EXPECT_EQ(StatusPanel(0), w.MsgSelectPort);
}

TEST_F(WindowConnectTest, SignalLimitGroupAppearsAboveFirmware1100AndStaysForTheRun)
{
    auto config = PcConfig(ModelKVT27);
    config.FirmwareVersion = 1100000000;
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    EXPECT_TRUE(w.GrpBxSignalLimit->isHidden());
    EXPECT_EQ(StatusPanel(0), U("Převodník KVT27, firmware: 1.100/000000"));

    Choose("MCommEnd");
    config.FirmwareVersion = 1100000001;
    ASSERT_TRUE(ConnectToSim(config));
    EXPECT_FALSE(w.GrpBxSignalLimit->isHidden());

    Choose("MCommEnd");
    config.FirmwareVersion = 1000000000;
    ASSERT_TRUE(ConnectToSim(config));
    EXPECT_FALSE(w.GrpBxSignalLimit->isHidden()) << "nothing hides it again";
}

TEST_F(WindowConnectTest, ALateReplyAtAnyRowOfTheLoadLeavesEveryWordInItsPlace)
{
    // Every word its own value (each neighbour in the load's order differs), none written back.
    sim::TConverterConfig c = PcConfig(ModelKVT27);
    const std::pair<uint8_t, uint16_t> words[] = {{WordOutputMode, 4}, {WordOutZero, 1700}, {WordOutEnd, 15000},
        {WordFilterType, 1}, {WordCalIn0V, 32001}, {WordInEnd, 61990}, {WordLimitReaction, 0}};
    for (const auto& [address, value] : words)
        c.Words[address] = value;
    StartSim(c);
    const sim::TWords held = Sim().Words();
    TFrmMain& w = Window();
    // A sixteenth of the converter's time limits: a reply's time is 50 ms.
    w.ComPort.Timeouts().SetReadMultiplier(5);
    w.ComPort.Timeouts().SetReadConstant(15);
    TypePort(QString::fromStdString(Sim().DevicePath()));
    const double lateness[] = {0.8, 1.0, 1.2, 1.6};
    for (int row = 1; row <= 18; ++row) {
        for (const bool reload : {false, true}) {
            SCOPED_TRACE(testing::Message() << "row " << row << (reload ? ", reload" : ", connect"));
            ClearFrames();
            Sim().SetFaults({.ReplyDelayMs = static_cast<int>(lateness[row % 4] * 50),
                             .DelayFrame = static_cast<int>(Sim().Counters().Frames) + 4 + row});
            if (reload)
                Click(w.SpdBtnReload);
            else
                PressConnect();
            ASSERT_TRUE(Boxes().empty()) << BoxTexts().front().toStdString();
            ASSERT_TRUE(w.Connected());
            for (const int a : LoadOrder)
                EXPECT_EQ(WordValue(w.DeviceSettings, static_cast<uint8_t>(a)), Sim().Word(static_cast<uint8_t>(a))) << "word " << a;
            EXPECT_EQ(WordValue(w.WorkRecord->AsFound, WordInEnd), 61990);
            EXPECT_EQ(w.SpnEdtAOEnd->Value(), 15000);
            EXPECT_EQ(Sim().Words(), held) << "a write-back writes each word as it was read";
            if (!reload)
                Choose("MCommEnd");
        }
    }
    Sim().SetFaults({});
}
