// Numeric range entry: the entered ranges are converted with the converter's calibration words
// and stored, then the converter is switched to the kind entered.
#include "window_fixture.h"

#include "protocol/commands.h"

#include <QLabel>
#include <QRadioButton>
#include <QtTest/QTest>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

using TWrites = std::vector<std::pair<int, int>>;

constexpr int32_t NoPowerCycleFirmware = 1400000000;

class WindowNumericTest : public TWindowTest {
protected:
    // A KVT27 in the PC configuration whose firmware needs no power cycle.
    static sim::TConverterConfig Converter(int32_t Firmware = NoPowerCycleFirmware)
    {
        auto c = PcConfig(ModelKVT27);
        c.FirmwareVersion = Firmware;
        return c;
    }

    void EnterInput(const char* Begin, const char* End)
    {
        Window().MaskEdtNumBegin->SetText(QString::fromLatin1(Begin));
        Window().MaskEdtNumEnd->SetText(QString::fromLatin1(End));
        ClearFrames();
        Seam().Boxes.clear();
        Click(Window().SpdBtnSendNumeral);
        Pump();
    }

    void EnterOutput(const char* Begin, const char* End)
    {
        Window().MaskEdtAONumBegin->SetText(QString::fromLatin1(Begin));
        Window().MaskEdtAONumEnd->SetText(QString::fromLatin1(End));
        ClearFrames();
        Seam().Boxes.clear();
        Click(Window().SpdBtnSendNumeralAO);
        Pump();
    }

    // Expects exactly one plain box with Text and nothing sent.
    void ExpectRefused(const QString& Text)
    {
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Plain);
        EXPECT_EQ(Boxes()[0].Text, Text);
        EXPECT_TRUE(Frames().empty());
    }
};

} // namespace

TEST_F(WindowNumericTest, CurrentInputRangeIsStoredAsRawWords)
{
    ASSERT_TRUE(ConnectToSim(Converter())); // CalIn0mA 32000, CalIn20mA 62000
    TFrmMain& w = Window();

    EnterInput("004,000", "020,000");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 38000}, {WordInEnd, 62000}})) << "the kind is current already";
    EXPECT_EQ(Sim().Word(WordInZero), 38000);
    EXPECT_EQ(Sim().Word(WordInEnd), 62000);
    EXPECT_TRUE(Boxes().empty());

    EnterInput("000,000", "-20,500");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 32000}, {WordInEnd, 1250}}));

    // Leading blanks count as zeros; an inverted range is allowed.
    EnterInput(" 20,   ", "  4,000");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 62000}, {WordInEnd, 38000}}));
    EXPECT_EQ(w.DeviceSettings.InZero, 38000) << "the copies wait for the next load";
    EXPECT_EQ(w.LblAIUSRZero->text(), "4000 uA");

    // An empty or incomplete field, and a range of no width, are refused naming the fields.
    EnterInput("   ,   ", "010,000");
    ExpectRefused(w.MsgFieldIncomplete.arg(w.LblNumBegin->text()));
    EXPECT_TRUE(Boxes()[0].Text.contains(QString::fromUtf8("Počátek vstupu")));
    EnterInput("004,000", "2  ,   ");
    ExpectRefused(w.MsgFieldIncomplete.arg(w.LblNumEnd->text()));
    EnterInput("004,000", "004,000");
    ExpectRefused(w.MsgRangeEmpty.arg(w.LblNumBegin->text(), w.LblNumEnd->text()));
    EnterOutput("  ,   ", "20,000");
    ExpectRefused(w.MsgFieldIncomplete.arg(w.LblNumBeginAO->text()));
}

TEST_F(WindowNumericTest, VoltageLimitsAreInclusiveAndTheConverterIsSwitchedToVoltage)
{
    ASSERT_TRUE(ConnectToSim(Converter())); // CalIn0V 32000, CalIn10V 60000
    TFrmMain& w = Window();
    Click(w.RdBtnNumAIU);
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "000,000");

    EnterInput("-10,301", "010,000");
    ExpectRefused(w.MsgBeginOutOfRange);
    EnterInput("000,000", "010,301");
    ExpectRefused(w.MsgEndOutOfRange);
    // Only the begin is told when both are out of range.
    EnterInput("-30,000", "030,000");
    ExpectRefused(w.MsgBeginOutOfRange);
    EXPECT_EQ(w.DeviceSettings.InputMode, 3);

    EnterInput("-10,300", "+10,300");
    // The range first, then the kind through the signal tab's button.
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 3160}, {WordInEnd, 60840}, {WordInputMode, 4}}));
    EXPECT_EQ(Sim().Word(WordInputMode), 4);
    EXPECT_TRUE(w.RdBtnAIUH->isChecked());
    EXPECT_EQ(w.DeviceSettings.InputMode, 4);
    // The kind's handler redraws: the fields show the last load's range as volts.
    EXPECT_EQ(w.MaskEdtNumBegin->Text(), "002,143");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowNumericTest, MillivoltEntriesRoundHalvesToEvenAndOldFirmwareAsksForAPowerCycle)
{
    ASSERT_TRUE(ConnectToSim(Converter(1300000000)));
    TFrmMain& w = Window();
    Click(w.RdBtnNumAIUL);
    EXPECT_EQ(w.LblNumBeginUnit->text(), "mV");

    EnterInput("0000,0", "0585,0");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 32768}, {WordInEnd, 65535}, {WordInputMode, 5}}))
        << "0 mV is 32767.5, which rounds to the even 32768";
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Information) << "an instruction, not a failure";
    EXPECT_EQ(Boxes()[0].Text, w.MsgPowerCycle);

    // Out of range: no power-cycle message either.
    EnterInput("-585,1", "0000,0");
    ExpectRefused(w.MsgBeginOutOfRange);

    EnterInput("-585,0", "0000,0");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 0}, {WordInEnd, 32768}}));
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgPowerCycle});
}

TEST_F(WindowNumericTest, ResistanceEntryIsStoredInHundredthsOfAPercent)
{
    ASSERT_TRUE(ConnectToSim(Converter()));
    TFrmMain& w = Window();
    Click(w.RdBtnNumAIOV);
    EnterInput("025,50", "100,00");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 2550}, {WordInEnd, 10000}, {WordInputMode, 6}}));
    EXPECT_TRUE(w.RdBtnAIOV->isChecked());
    EXPECT_TRUE(Boxes().empty()) << "firmware 1.400/000000 needs no power cycle";
}

TEST_F(WindowNumericTest, OutputRangeIsStoredAsDACodes)
{
    ASSERT_TRUE(ConnectToSim(Converter(1300000000))); // CalOut0mA 100, CalOut20mA 16100
    TFrmMain& w = Window();

    EnterOutput("04,000", "20,000");
    EXPECT_EQ(Writes(), (TWrites{{WordOutZero, 3300}, {WordOutEnd, 16100}}));
    EXPECT_TRUE(Boxes().empty()) << "no power cycle for the output";

    EnterOutput("04,000", "21,500");
    ExpectRefused(w.MsgEndOutOfRange);
    EnterOutput("21,500", "20,000");
    ExpectRefused(w.MsgBeginOutOfRange);
    EnterOutput("04,000", "21,000");
    EXPECT_EQ(Writes(), (TWrites{{WordOutZero, 3300}, {WordOutEnd, 16900}}));

    // A field with only its second position filled reads as 04,000.
    w.MaskEdtAONumBegin->clear();
    w.MaskEdtAONumBegin->setFocus();
    w.MaskEdtAONumBegin->setCursorPosition(1);
    QTest::keyClick(w.MaskEdtAONumBegin, Qt::Key_4);
    EXPECT_EQ(w.MaskEdtAONumBegin->Text(), " 4,   ");
    ClearFrames();
    Click(w.SpdBtnSendNumeralAO);
    EXPECT_EQ(LastWrite(WordOutZero), 3300);

    // Another kind: the codes of the voltage calibration (120 / 15920), then OutputMode.
    Click(w.RdBtnNumAOU);
    EXPECT_EQ(w.LblNumAOBegin->text(), "V");
    EnterOutput("00,000", "10,000");
    EXPECT_EQ(Writes(), (TWrites{{WordOutZero, 120}, {WordOutEnd, 15920}, {WordOutputMode, 4}}));
    EXPECT_TRUE(w.RdBtnAOU->isChecked());
    EnterOutput("00,000", "10,501");
    ExpectRefused(w.MsgEndOutOfRange);

    // Neither the code fields nor the copies change before the next load.
    EXPECT_EQ(w.SpnEdtAOZero->text(), "3300");
    EXPECT_EQ(w.DeviceSettings.OutEnd, 16100);
}

TEST_F(WindowNumericTest, ARawValueBeyondSixteenBitsIsRefusedLikeAValueOutOfRange)
{
    auto config = Converter();
    config.Words[WordCalIn0mA] = 10000;
    config.Words[WordCalIn20mA] = 65000; // 2750 counts per mA
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();

    EnterInput("-20,000", "020,000"); // -45000: would be stored as 20536
    ExpectRefused(w.MsgBeginOutOfRange);
    EnterInput("004,000", "020,500"); // 66375: would be stored as 839
    ExpectRefused(w.MsgEndOutOfRange);
    EnterInput("004,000", "020,000");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 21000}, {WordInEnd, 65000}}));
}

TEST_F(WindowNumericTest, AFailedWriteStopsTheEntryAtOnce)
{
    // The begin write is not answered: nothing else is sent or shown.
    ASSERT_TRUE(ConnectToSim(Converter(1300000000)));
    TFrmMain& w = Window();
    Click(w.RdBtnNumAIU);
    sim::TFaults faults;
    faults.NoReplyToWord = WordInZero;
    Sim().SetFaults(faults);
    EnterInput("001,000", "005,000");
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgLinkLost});
    EXPECT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].first, WordInZero);
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(w.DeviceSettings.InputMode, 3) << "the kind button was not reached";
}

TEST_F(WindowNumericTest, AFailedEndOrKindWriteEndsTheEntryWithoutAPowerCycleMessage)
{
    ASSERT_TRUE(ConnectToSim(Converter(1300000000)));
    TFrmMain& w = Window();
    sim::TFaults faults;
    faults.NoReplyToWord = WordOutEnd;
    Sim().SetFaults(faults);
    EnterOutput("04,000", "20,000");
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgLinkLost});
    EXPECT_EQ(Writes(), (TWrites{{WordOutZero, 3300}, {WordOutEnd, 16100}}));
    EXPECT_TRUE(w.PanelConnect->isVisible());

    // The range is stored, the switch of the kind fails: one lost-link message, nothing after it.
    ASSERT_TRUE(ConnectToSim(Converter(1300000000)));
    faults.NoReplyToWord = WordInputMode;
    Sim().SetFaults(faults);
    Click(w.RdBtnNumAIOV);
    EnterInput("010,00", "090,00");
    EXPECT_EQ(Writes(), (TWrites{{WordInZero, 1000}, {WordInEnd, 9000}, {WordInputMode, 6}}));
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgLinkLost});
    EXPECT_TRUE(w.PanelConnect->isVisible());
}

TEST_F(WindowNumericTest, PowerCycleMessageDependsOnTheFirmwareVersionOnly)
{
    ASSERT_TRUE(ConnectToSim(Converter(1399999999)));
    TFrmMain& w = Window();
    EnterInput("004,000", "020,000");
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgPowerCycle});

    // With no kind checked nothing is written, but the message still comes.
    w.RdBtnNumAII->setAutoExclusive(false);
    w.RdBtnNumAII->setChecked(false);
    w.RdBtnNumAII->setAutoExclusive(true);
    EnterInput("004,000", "020,000");
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgPowerCycle});
}

TEST_F(WindowNumericTest, ATextThatIsNotANumberGoesToTheErrorReportAndWritesNothing)
{
    ASSERT_TRUE(ConnectToSim(Converter(1300000000)));
    TFrmMain& w = Window();
    // A field whose separator is not the comma the reading expects.
    w.MaskEdtNumEnd->SetEditMask("#99.999;1;0");
    EnterInput("004,000", "020.000");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
    EXPECT_TRUE(Boxes()[0].Text.contains("020.000")) << Boxes()[0].Text.toStdString();
    EXPECT_TRUE(Frames().empty());
    EXPECT_TRUE(w.PanelConfig->isVisible());
}
