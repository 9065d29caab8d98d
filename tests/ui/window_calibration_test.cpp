// Measuring the input range on the signal tab, and adjusting the output range live with the two
// code fields and their save buttons.
#include "window_fixture.h"

#include "protocol/commands.h"
#include "protocol/frame.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QtTest/QTest>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

const QColor Red(255, 0, 0);

QColor NormalColor(TSpinEdit* Edit)
{
    return QApplication::palette(Edit).color(QPalette::Active, QPalette::Text);
}

sim::TSignal Constant(sim::TSignalUnit Unit, double Value)
{
    sim::TSignal s;
    s.Shape = sim::TSignalShape::Constant;
    s.Unit = Unit;
    s.Value = Value;
    return s;
}

// Labels use the system's decimal separator; each test that cares chooses one.
class TLocaleScope {
public:
    explicit TLocaleScope(const QLocale& Locale) { QLocale::setDefault(Locale); }
    ~TLocaleScope() { QLocale::setDefault(FSaved); }

private:
    QLocale FSaved;
};

class WindowCalibrationTest : public TWindowTest {
protected:
    // The parameters of the measure frames, in order.
    std::vector<uint32_t> MeasureParameters()
    {
        std::vector<uint32_t> out;
        for (const TFrame& f : FramesOf(CmdMeasure))
            out.push_back(FrameParameter(f));
        return out;
    }

    std::vector<uint32_t> DriveCodes()
    {
        std::vector<uint32_t> out;
        for (const TFrame& f : FramesOf(CmdOutputDrive))
            out.push_back(FrameParameter(f));
        return out;
    }

    // A measurement: its reply comes after every frame sent before it, so the simulator has
    // them all when it returns (drive and release frames get no reply of their own).
    void Settle()
    {
        Click(Window().SpdBtnMeasInput);
        Pump();
    }

    // Commands sent, without the measurement Settle adds at the end.
    std::vector<int> CommandsBeforeSettle()
    {
        std::vector<int> c = Commands();
        if (!c.empty() && c.back() == CmdMeasure)
            c.pop_back();
        return c;
    }

    // Focuses the field with a click, replaces its text by typing, as the user does.
    void TypeCode(TSpinEdit* Edit, const char* Text)
    {
        if (QApplication::focusWidget() != Edit)
            QTest::mouseClick(Edit, Qt::LeftButton);
        Edit->selectAll();
        QTest::keyClicks(Edit, QString::fromLatin1(Text));
    }

    // Typing a code above the model's maximum: clamped in the field, driven once, never as typed.
    void TypeAboveMaximum(int Model, int Max, uint32_t FieldCode)
    {
        ASSERT_TRUE(ConnectToSim(PcConfig(Model)));
        TFrmMain& w = Window();
        ClearFrames();
        TypeCode(w.SpnEdtAOZero, "20000");
        Settle();

        EXPECT_EQ(w.SpnEdtAOZero->text(), QString::number(Max));
        EXPECT_EQ(w.SpnEdtAOZero->FontColor(), Red);
        EXPECT_EQ(w.PrgBrAOZero->value(), 199);
        EXPECT_EQ(DriveCodes(), (std::vector<uint32_t>{FieldCode, 2, 20, 200, 2000, static_cast<uint32_t>(Max)}))
            << "the code of the field on entering, each typed value, then the clamped code once";
        EXPECT_TRUE(FramesOf(CmdOutputRelease).empty());
        EXPECT_EQ(Sim().Output().Code, static_cast<uint32_t>(Max));
        EXPECT_FALSE(Sim().Output().Released);
        EXPECT_TRUE(Writes().empty()) << "nothing is stored before the save";
        EXPECT_EQ(w.SpnEdtAOEnd->FontColor(), NormalColor(w.SpnEdtAOEnd));
        EXPECT_TRUE(Boxes().empty());
    }

    // A KVT27L whose code field holds Code, above its maximum, as no load or typing leaves it:
    // the clamps on entering and saving are the last guard. Frames are cleared after.
    void ConnectKVT27LWithStaleCode(uint8_t Word, uint16_t Code)
    {
        ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27L)));
        TSpinEdit* field = Word == WordOutZero ? Window().SpnEdtAOZero : Window().SpnEdtAOEnd;
        const QSignalBlocker quiet(field);
        field->setText(QString::number(Code));
        ClearFrames();
    }
};

} // namespace

TEST_F(WindowCalibrationTest, RangeBeginAndEndAreMeasuredStoredAndShownInMicroamperes)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();

    Sim().SetSignal(Constant(sim::TSignalUnit::MilliAmpere, 12)); // raw 50000 with 32000 / 62000
    Click(w.SpdBtnAIZero);
    EXPECT_EQ(Sim().Word(WordInZero), 50000);
    EXPECT_EQ(w.LblAIUSRZero->text(), "12000 uA");
    EXPECT_EQ(w.LblAIMeasVal->text(), "12000 uA");
    EXPECT_EQ(w.LblAIUSREnd->text(), "20000 uA");

    Sim().SetSignal(Constant(sim::TSignalUnit::MilliAmpere, 18));
    Click(w.SpdBtnAIEnd);
    EXPECT_EQ(Sim().Word(WordInEnd), 59000);
    EXPECT_EQ(w.LblAIUSREnd->text(), "18000 uA");
    EXPECT_EQ(w.LblAIUSRZero->text(), "12000 uA");

    // Measuring only shows the value; nothing is stored and the range labels stay.
    Sim().SetSignal(Constant(sim::TSignalUnit::MilliAmpere, 5));
    Click(w.SpdBtnMeasInput);
    EXPECT_EQ(w.LblAIMeasVal->text(), "5000 uA");
    EXPECT_EQ(w.LblAIUSRZero->text(), "12000 uA");
    EXPECT_EQ(w.LblAIUSREnd->text(), "18000 uA");
    EXPECT_EQ(Sim().Word(WordInZero), 50000);
    EXPECT_EQ(Sim().Word(WordInEnd), 59000);

    EXPECT_EQ(MeasureParameters(), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(Commands().size(), 3u);
    EXPECT_TRUE(StatusPanel(2).endsWith(" ms"));
    // The program's copies and the numeric tab wait for the next load.
    EXPECT_EQ(w.DeviceSettings.InZero, 38000);
    EXPECT_EQ(w.DeviceSettings.InEnd, 62000);
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "004,000");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowCalibrationTest, MillivoltReadingsShowOneDecimalWithTheSystemSeparator)
{
    auto config = PcConfig(ModelKVT27);
    config.Words[WordInputMode] = 5;
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();

    {
        TLocaleScope czech(QLocale(QLocale::Czech, QLocale::CzechRepublic));
        Sim().SetSignal(Constant(sim::TSignalUnit::MilliVolt, 123.4)); // raw 39679 -> 12338
        Click(w.SpdBtnAIZero);
        EXPECT_EQ(Sim().Word(WordInZero), 39679);
        EXPECT_EQ(w.LblAIUSRZero->text(), "123,4 mV");
        EXPECT_EQ(w.LblAIMeasVal->text(), "123,4 mV");

        Sim().SetSignal(Constant(sim::TSignalUnit::Raw, 65535)); // 58498 hundredths
        Click(w.SpdBtnAIEnd);
        EXPECT_EQ(Sim().Word(WordInEnd), 65535);
        EXPECT_EQ(w.LblAIUSREnd->text(), "585 mV");
    }
    {
        TLocaleScope c(QLocale::c());
        Sim().SetSignal(Constant(sim::TSignalUnit::Raw, 32768 - 28));
        Click(w.SpdBtnMeasInput); // -28 * 17.8527832 / 10 = -49.99 -> -50 hundredths
        EXPECT_EQ(w.LblAIMeasVal->text(), "-0.5 mV");
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowCalibrationTest, AFailedMeasurementKeepsTheRangeLabelsAndEndsOnTheConnectPanel)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Sim().SetSignal(Constant(sim::TSignalUnit::MilliAmpere, 12));
    Click(w.SpdBtnAIZero);
    ASSERT_EQ(w.LblAIUSRZero->text(), "12000 uA");

    sim::TFaults faults;
    faults.NoReplyToCommand = CmdMeasure;
    Sim().SetFaults(faults);
    Click(w.SpdBtnAIEnd);
    Pump();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
    EXPECT_EQ(Boxes()[0].Text, w.MsgLinkLost);
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(w.LblAIUSRZero->text(), "12000 uA");
    EXPECT_EQ(w.LblAIUSREnd->text(), "20000 uA");
    EXPECT_EQ(w.LblAIMeasVal->text(), QString()) << "emptied by the return to the connect panel";
}

TEST_F(WindowCalibrationTest, TypingACodeAboveTheMaximumOfAKVT27ClampsItAndDrivesTheClampedCode)
{
    TypeAboveMaximum(ModelKVT27, 16383, 3300);
}

TEST_F(WindowCalibrationTest, TypingACodeAboveTheMaximumOfAKVT27LClampsItAndDrivesTheClampedCode)
{
    TypeAboveMaximum(ModelKVT27L, 8191, 1650);
}

TEST_F(WindowCalibrationTest, EnteringAFieldDrivesItsCodeAndLeavingItReleasesTheOutput)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();
    Seam().Sleeps.clear();

    QTest::mouseClick(w.SpnEdtAOZero, Qt::LeftButton);
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), NormalColor(w.SpnEdtAOZero)) << "entering changes no colour";
    EXPECT_EQ(w.PrgBrAOZero->value(), 3300 / 82);

    // From one field to the other: the first releases and waits, the second drives.
    QTest::mouseClick(w.SpnEdtAOEnd, Qt::LeftButton);
    EXPECT_EQ(Seam().Sleeps, std::vector<int>{100});
    Settle();
    EXPECT_EQ(CommandsBeforeSettle(), (std::vector<int>{CmdOutputDrive, CmdOutputRelease, CmdOutputDrive}));
    EXPECT_EQ(DriveCodes(), (std::vector<uint32_t>{3300, 16100}));
    EXPECT_EQ(FrameParameter(FramesOf(CmdOutputRelease).at(0)), 0u);

    // An emptied field, or letters, stand for no code: nothing is driven, the bar stays.
    ClearFrames();
    w.SpnEdtAOEnd->selectAll();
    QTest::keyClick(w.SpnEdtAOEnd, Qt::Key_Backspace);
    QTest::keyClicks(w.SpnEdtAOEnd, "abc");
    Settle();
    EXPECT_EQ(w.SpnEdtAOEnd->text(), QString("abc"));
    EXPECT_TRUE(DriveCodes().empty());
    EXPECT_EQ(w.PrgBrAOEnd->value(), 16100 / 82);
    EXPECT_EQ(w.SpnEdtAOEnd->FontColor(), Red);
    Click(w.SpdBtnAOEnd);
    Settle();
    EXPECT_TRUE(Writes().empty()) << "and nothing is saved";
    // Leaving the field shows the code that is driven again.
    QTest::mouseClick(w.SpnEdtAOZero, Qt::LeftButton);
    Settle();
    EXPECT_EQ(w.SpnEdtAOEnd->text(), "16100");
    EXPECT_EQ(DriveCodes(), std::vector<uint32_t>{3300});
    QTest::mouseClick(w.SpnEdtAOEnd, Qt::LeftButton);
    Settle();
    w.SpnEdtAOEnd->selectAll();
    QTest::keyClick(w.SpnEdtAOEnd, Qt::Key_Backspace);
    ClearFrames();

    // The arrow keys step the code and drive each step.
    ClearFrames();
    QTest::keyClick(w.SpnEdtAOEnd, Qt::Key_Up);
    QTest::keyClick(w.SpnEdtAOEnd, Qt::Key_Up);
    Settle();
    EXPECT_EQ(DriveCodes(), (std::vector<uint32_t>{1, 2}));
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowCalibrationTest, SavingStoresTheCodeRestoresTheColourAndReleasesTheOutput)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();
    TypeCode(w.SpnEdtAOZero, "4100");
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), Red);
    EXPECT_EQ(w.PrgBrAOZero->value(), 50);
    Seam().Sleeps.clear();

    Click(w.SpdBtnAOZero);
    Settle();
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{WordOutZero, 4100}}));
    EXPECT_EQ(Sim().Word(WordOutZero), 4100);
    EXPECT_EQ(CommandsBeforeSettle().back(), CmdOutputRelease) << "the release follows the write";
    EXPECT_EQ(Seam().Sleeps, std::vector<int>{100});
    EXPECT_TRUE(Sim().Output().Released);
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), NormalColor(w.SpnEdtAOZero));
    EXPECT_EQ(QApplication::focusWidget(), w.SpnEdtAOZero) << "the save button takes no focus";
    EXPECT_EQ(w.DeviceSettings.OutZero, 3300) << "the copy waits for the next load";
    EXPECT_EQ(w.MaskEdtAONumBegin->Text(), "04,000");

    // The next change drives again and marks the field once more.
    ClearFrames();
    QTest::keyClick(w.SpnEdtAOZero, Qt::Key_Up);
    Settle();
    EXPECT_EQ(DriveCodes(), std::vector<uint32_t>{4101});
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), Red);

    // The end field saves to its own word.
    ClearFrames();
    TypeCode(w.SpnEdtAOEnd, "9000");
    Click(w.SpdBtnAOEnd);
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{WordOutEnd, 9000}}));
    EXPECT_EQ(w.SpnEdtAOEnd->FontColor(), NormalColor(w.SpnEdtAOEnd));
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), Red);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowCalibrationTest, AFailedSaveKeepsTheFieldRedAndEndsOnTheConnectPanel)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    TypeCode(w.SpnEdtAOZero, "5000");
    Settle();
    ClearFrames();
    sim::TFaults faults;
    faults.NoReplyToCommand = CmdWriteWord;
    Sim().SetFaults(faults);

    Click(w.SpdBtnAOZero);
    Pump(50);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgLinkLost}) << "no error from a release on the closed port";
    EXPECT_EQ(Commands(), std::vector<int>{CmdWriteWord});
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), Red);
}

TEST_F(WindowCalibrationTest, ASettingsLoadMovesTheBarsWithoutDrivingOrMarkingTheFields)
{
    auto config = PcConfig(ModelKVT27);
    config.Words[WordOutZero] = 8190;
    config.Words[WordOutEnd] = 16383;
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    EXPECT_TRUE(FramesOf(CmdOutputDrive).empty());
    EXPECT_EQ(w.PrgBrAOZero->value(), 99) << "the 50 % mark";
    EXPECT_EQ(w.PrgBrAOEnd->value(), 199);
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), NormalColor(w.SpnEdtAOZero));

    // An edited field keeps its colour through a reload, and the load drives nothing.
    TypeCode(w.SpnEdtAOEnd, "100");
    Settle();
    Sim().SetWord(WordOutZero, 820);
    Sim().SetWord(WordOutEnd, 12300);
    ClearFrames();
    Click(w.SpdBtnReload);
    Pump();
    ASSERT_TRUE(w.PanelConfig->isVisible());
    EXPECT_TRUE(FramesOf(CmdOutputDrive).empty());
    EXPECT_TRUE(FramesOf(CmdOutputRelease).empty());
    EXPECT_EQ(w.SpnEdtAOZero->text(), "820");
    EXPECT_EQ(w.PrgBrAOZero->value(), 10);
    EXPECT_EQ(w.SpnEdtAOEnd->text(), "12300");
    EXPECT_EQ(w.PrgBrAOEnd->value(), 150);
    EXPECT_EQ(w.SpnEdtAOEnd->FontColor(), Red);
    EXPECT_EQ(w.SpnEdtAOZero->FontColor(), NormalColor(w.SpnEdtAOZero));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowCalibrationTest, ACodeLeftAboveTheKVT27LMaximumIsClampedBeforeItIsSaved)
{
    ASSERT_NO_FATAL_FAILURE(ConnectKVT27LWithStaleCode(WordOutZero, 16383));
    TFrmMain& w = Window();
    // The save stores what the converter can drive, never the stale code.
    Click(w.SpdBtnAOZero);
    Settle();
    EXPECT_EQ(w.SpnEdtAOZero->text(), "8191");
    EXPECT_EQ(Writes(), (std::vector<std::pair<int, int>>{{WordOutZero, 8191}}));
    EXPECT_EQ(DriveCodes(), std::vector<uint32_t>{8191});
    EXPECT_EQ(w.PrgBrAOZero->value(), 199);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowCalibrationTest, EnteringAFieldAboveTheMaximumDrivesTheClampedCodeOnce)
{
    ASSERT_NO_FATAL_FAILURE(ConnectKVT27LWithStaleCode(WordOutEnd, 12000));
    TFrmMain& w = Window();
    QTest::mouseClick(w.SpnEdtAOEnd, Qt::LeftButton);
    Settle();
    EXPECT_EQ(w.SpnEdtAOEnd->text(), "8191");
    EXPECT_EQ(DriveCodes(), std::vector<uint32_t>{8191});
    EXPECT_EQ(w.SpnEdtAOEnd->FontColor(), Red) << "the clamp is a change of the code";
    EXPECT_EQ(w.PrgBrAOEnd->value(), 199);
    EXPECT_TRUE(Boxes().empty());
}
