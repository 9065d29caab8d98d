// The technician's files in the window: configurations that pass to and from kvt27ctl word for
// word, a load that is refused writing nothing, the settings as found given back exactly, the
// work record's PDF, and the line's log.
#include "window_fixture.h"

#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "protocol/frame.h"
#include "protocol/line_log.h"
#include "tools/ctl/ctl.h"
#include "ui/linelogwindow.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <array>
#include <fstream>
#include <sstream>

// Texts in failure messages as text.
static void PrintTo(const QString& Text, std::ostream* Out)
{
    *Out << '"' << Text.toStdString() << '"';
}

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

constexpr std::array<uint8_t, 8> Writable = {WordInputMode, WordOutputMode, WordFilterType, WordInZero,
                                             WordInEnd,     WordOutZero,    WordOutEnd,     WordLimitReaction};

std::array<int, 8> WritableWords(const sim::TSimulator& Sim)
{
    std::array<int, 8> w{};
    for (std::size_t i = 0; i < Writable.size(); ++i)
        w[i] = Sim.Word(Writable[i]);
    return w;
}

int Ctl(std::vector<std::string> Args)
{
    std::ostringstream out, err;
    ctl::TCtlContext context{out, err, "/nonexistent", ","};
    const int status = ctl::RunCtl(Args, context);
    EXPECT_EQ(status, ctl::ExitOk) << err.str();
    return status;
}

std::string ReadFile(const QString& Path)
{
    std::ifstream in(Path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const QString& Path, const std::string& Text)
{
    std::ofstream(Path.toStdString(), std::ios::binary) << Text;
}

// A configuration file without its comment lines.
std::string Settings(const QString& Path)
{
    std::istringstream in(ReadFile(Path));
    std::string line, kept;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') {
            line = line.substr(0, line.find('#'));
            kept += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
        }
    return kept;
}

// A converter of the same model with a factory calibration of its own.
sim::TConverterConfig Another(int Model)
{
    sim::TConverterConfig c = PcConfig(Model);
    c.Words[WordCalIn0V] += 400;
    c.Words[WordCalIn10V] -= 300;
    c.Words[WordCalOut0mA] += 25;
    c.Words[WordCalOut20mA] -= 40;
    return c;
}

class WindowTechnicianTest : public TWindowTest {
protected:
    QString File(const char* Name) const { return FDir.filePath(QString::fromLatin1(Name)); }

    // Ends the window's connection and connects it to a new simulated converter.
    void Reconnect(const sim::TConverterConfig& Config)
    {
        Choose("MCommEnd");
        StartSim(Config);
        TypePort(QString::fromStdString(Sim().DevicePath()));
        PressConnect();
        ASSERT_TRUE(Window().Connected());
    }

    QTemporaryDir FDir;
};

TEST_F(WindowTechnicianTest, ConfigurationsPassBetweenTheWindowAndKvt27ctlWordForWord)
{
    StartSim(PcConfig(ModelKVT27));
    const QString hand = File("hand.kvt");
    WriteFile(hand, "input = voltage\ninput-begin = 1.000 V\ninput-end = 9.000 V\noutput = voltage\n"
                    "output-begin = 0.500 V\noutput-end = 10.000 V\nfilter = 2\nreaction = 1\n");
    ASSERT_EQ(Ctl({"apply", "--port", Sim().DevicePath(), hand.toStdString()}), ctl::ExitOk);
    ASSERT_EQ(Ctl({"save", "--port", Sim().DevicePath(), File("ctl.kvt").toStdString()}), ctl::ExitOk);
    Window();
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_TRUE(Window().Connected());

    // Saved in the window and by kvt27ctl from the same converter: the same file but for its comments.
    ClearFrames();
    Seam().SaveAnswers.push_back(File("window.kvt"));
    Choose("MFileSaveConfig");
    ASSERT_TRUE(Boxes().empty()) << BoxTexts().front().toStdString();
    EXPECT_EQ(ReadAddresses(), (std::vector<int>{4, 6, 8, 10, 12, 14, 16, 44})) << "the words read afresh, nothing else";
    EXPECT_EQ(Commands().size(), 8u);
    EXPECT_EQ(Settings(File("window.kvt")), Settings(File("ctl.kvt")));
    EXPECT_EQ(Settings(File("window.kvt")), Settings(hand));

    // The window's file put on a converter by kvt27ctl, kvt27ctl's file by the window on its twin:
    // each converter's words from its own calibration, the same words and the same writes either way.
    const sim::TConverterConfig other = Another(ModelKVT27);
    sim::TSimulator byCtl(other);
    byCtl.Start();
    ASSERT_EQ(Ctl({"apply", "--port", byCtl.DevicePath(), File("window.kvt").toStdString()}), ctl::ExitOk);
    Reconnect(other);
    ClearFrames();
    Seam().OpenAnswers.push_back(File("ctl.kvt"));
    Seam().AskAnswers.push_back(true);
    Choose("MFileLoadConfig");
    EXPECT_EQ(WritableWords(Sim()), WritableWords(byCtl));
    EXPECT_NE(Sim().Word(WordInZero), other.Words[WordInZero]) << "the test needs a change";
    std::vector<std::pair<int, int>> ctlWrites;
    for (const TFrame& f : byCtl.Received())
        if (f[0] == CmdWriteWord)
            ctlWrites.emplace_back(f[2], f[3] * 256 + f[4]);
    const std::vector<std::pair<int, int>> writes = Writes();
    ASSERT_GE(writes.size(), ctlWrites.size());
    EXPECT_EQ(std::vector(writes.begin(), writes.begin() + static_cast<long>(ctlWrites.size())), ctlWrites);
    ASSERT_EQ(Seam().Questions.size(), 1u);
    EXPECT_TRUE(Seam().Questions[0].Detail.contains(QString::fromUtf8("Vstup: proud → napětí   (InputMode 3 → 4)")))
        << Seam().Questions[0].Detail.toStdString();
    EXPECT_TRUE(Seam().Questions[0].Detail.contains(QString::fromUtf8("Počátek vstupu: 4,000 mA → 1,000 V")));
    // The window shows the converter's new state.
    EXPECT_TRUE(Window().RdBtnAIUH->isChecked());
    EXPECT_TRUE(Window().RdBtnFilt2->isChecked());
    EXPECT_EQ(BoxTexts(), std::vector<QString>{Window().MsgPowerCycle}) << "after an input range written as words";

    // Loaded again: every word holds its value already, none is written.
    ClearFrames();
    Seam().OpenAnswers.push_back(File("ctl.kvt"));
    Choose("MFileLoadConfig");
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(BoxTexts().back(), QString::fromUtf8("Převodník už má tuto konfiguraci; nic se nezapisuje."));
    EXPECT_EQ(Seam().Questions.size(), 1u);
}

TEST_F(WindowTechnicianTest, ARefusedOrFailedLoadWritesNothing)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27L)));
    const QString bad = File("bad.kvt");
    WriteFile(bad, "input = current\ninput-begin = 4.000 mA\ninput-end = twenty\noutput = current\n"
                   "output-begin = 4.000 mA\noutput-end = 20.000 mA\nfilter = 0\nreaction = 0\n");
    const QString millivolt = File("millivolt.kvt");
    WriteFile(millivolt, "input = millivolt\ninput-begin = 0.0 mV\ninput-end = 500.0 mV\noutput = current\n"
                         "output-begin = 4.000 mA\noutput-end = 20.000 mA\nfilter = 0\nreaction = 0\n");
    const QString good = File("good.kvt");
    WriteFile(good, "input = voltage\ninput-begin = 0.000 V\ninput-end = 10.000 V\noutput = current\n"
                    "output-begin = 4.000 mA\noutput-end = 20.000 mA\nfilter = 0\nreaction = 0\n");

    // A file that does not parse costs no frame; the box names the file and the line.
    ClearFrames();
    Seam().OpenAnswers.push_back(bad);
    Choose("MFileLoadConfig");
    EXPECT_TRUE(Frames().empty());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].Text.contains(bad + ":3: input-end")) << Boxes()[0].Text.toStdString();

    // A file this converter refuses (a KVT27L has no millivolt input); the user's No.
    Seam().OpenAnswers = {millivolt, good};
    Choose("MFileLoadConfig");
    Choose("MFileLoadConfig");
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_TRUE(Boxes()[1].Text.startsWith(QString::fromUtf8("Tento převodník nastavení nepřijme"))) << Boxes()[1].Text.toStdString();
    EXPECT_TRUE(Boxes()[1].Text.contains("millivolt"));
    EXPECT_EQ(Seam().Questions.size(), 1u) << "the good file is asked about";
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(Window().Connected());

    // A converter that stops answering while its words are read: one box, as for every action.
    sim::TFaults faults;
    faults.NoReplyToWord = WordInZero;
    Sim().SetFaults(faults);
    Seam().OpenAnswers = {good};
    Seam().AskAnswers = {true};
    Choose("MFileLoadConfig");
    EXPECT_EQ(BoxTexts().back(), Window().MsgLinkLost);
    EXPECT_EQ(Boxes().size(), 3u);
    EXPECT_FALSE(Window().Connected());
    EXPECT_TRUE(Writes().empty());
}

TEST_F(WindowTechnicianTest, RestoreAsFoundGivesTheConverterItsWordsBackExactly)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    const sim::TWords found = Sim().Words();
    TFrmMain& w = Window();

    // A day's changes, a reload among them: the window's copy falls behind the measured range begin.
    Click(w.RdBtnAIUH);
    Click(w.SpdBtnAIZero);
    Click(w.RdBtnFilt1);
    Click(w.SpdBtnReload);
    w.MaskEdtAONumEnd->SetText(QStringLiteral("18,000"));
    Click(w.SpdBtnSendNumeralAO);
    Click(w.SpdBtnAIEnd);
    ASSERT_TRUE(Boxes().empty()) << BoxTexts().front().toStdString();
    ASSERT_NE(Sim().Words(), found);

    Seam().AskAnswers.push_back(true);
    Choose("MFileRestore");
    EXPECT_EQ(Sim().Words(), found);
    ASSERT_EQ(Seam().Questions.size(), 1u);
    EXPECT_EQ(Seam().Questions[0].Detail.count('\n') + 1, 5) << Seam().Questions[0].Detail.toStdString();
    EXPECT_TRUE(w.RdBtnAII->isChecked()) << "the window shows what the converter holds";
    // The input range was written as words, as by the numeric entry: this firmware needs a power cycle.
    EXPECT_EQ(BoxTexts(), std::vector<QString>{w.MsgPowerCycle});

    // Another converter has settings as found of its own.
    Reconnect(Another(ModelKVT27));
    Click(w.RdBtnFilt2);
    ClearFrames();
    Seam().AskAnswers.push_back(true);
    Choose("MFileRestore");
    // The reload after it writes back what its buttons check, as every reload does.
    ASSERT_FALSE(Writes().empty());
    for (const auto& write : Writes())
        EXPECT_EQ(write, std::make_pair(int(WordFilterType), 0));
    EXPECT_EQ(Sim().Words(), Another(ModelKVT27).Words);
    Choose("MFileRestore");
    EXPECT_EQ(BoxTexts().back(), QString::fromUtf8("Převodník má stále nastavení jako při převzetí; nic se nezapisuje."));
}

TEST_F(WindowTechnicianTest, TheWorkRecordPdfHoldsTheConverterItsSettingsAndTheMeasurements)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Click(w.SpdBtnAIEnd);
    Click(w.SpdBtnMeasInput);
    Click(w.RdBtnFilt2);
    ASSERT_EQ(w.WorkRecord->Measurements.size(), 2u);
    const QString raw = QString::number(w.WorkRecord->Measurements[0].Raw);
    const QString value = w.LblAIMeasVal->text();

    auto pdfText = [this](const QString& Pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), Pdf, QStringLiteral("-")});
        EXPECT_TRUE(p.waitForFinished(20000)) << "pdftotext (poppler-utils) is needed";
        // Ligatures ("ﬁ") as the letters they join.
        return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    };
    Seam().SaveAnswers = {File("cs.pdf"), File("en.pdf")};
    Choose("MFileExportRecord");
    Choose("MLangEN");
    Choose("MFileExportRecord");
    ASSERT_TRUE(Boxes().empty()) << BoxTexts().front().toStdString();
    ASSERT_TRUE(ReadFile(File("cs.pdf")).starts_with("%PDF"));

    const QString cs = pdfText(File("cs.pdf"));
    for (const QString& s : {QString::fromUtf8("Protokol o práci na převodníku"), QString::fromStdString(Sim().DevicePath()),
                             QStringLiteral("KVT27"), QStringLiteral("1.200/160822"), QString::fromUtf8("25 °C"),
                             QString::fromUtf8("15 – nastavení kabelem z PC"), QString::fromUtf8("Při převzetí"),
                             QString::fromUtf8("Při předání"), QString::fromUtf8("Počátek vstupu"), QStringLiteral("4,000 mA"),
                             QStringLiteral("20,000 mA"), QString::fromUtf8("0 – bez filtru"),
                             QString::fromUtf8("2 – polynomický filtr"), QString::fromUtf8("konec rozsahu změřen a uložen"),
                             raw, value, QStringLiteral("Podpis:")})
        EXPECT_TRUE(cs.contains(s)) << s.toStdString() << "\n" << cs.toStdString();
    const QString en = pdfText(File("en.pdf"));
    for (const QString& s : {QStringLiteral("Converter work record"), QStringLiteral("As found"), QStringLiteral("As left"),
                             QStringLiteral("4.000 mA"), QStringLiteral("2 – polynomial filter"), QStringLiteral("Signature:")})
        EXPECT_TRUE(en.contains(s)) << s.toStdString() << "\n" << en.toStdString();
}

TEST_F(WindowTechnicianTest, TheLineLogHoldsAConnectsFramesInOrder)
{
    StartSim(PcConfig(ModelKVT27));
    TFrmMain& w = Window();
    Choose("MCommLog");
    ASSERT_NE(w.FrmLineLog, nullptr);
    TypePort(QString::fromStdString(Sim().DevicePath()));
    PressConnect();
    ASSERT_TRUE(w.Connected());

    const std::vector<TFrame> frames = Frames();
    ASSERT_EQ(w.LineLog.Size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(w.LineLog.At(i).Request, frames[i]) << i;
    Pump();
    const QString shown = w.FrmLineLog->MemoLog->toPlainText();
    EXPECT_EQ(shown + "\n", QString::fromStdString(w.LineLog.Text()));
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(TraceLines(w.LineLog.At(0))[0])));
    EXPECT_TRUE(shown.contains("read word 44 (LimitReaction)"));

    // Closed, it is not kept up; shown again, it is.
    w.FrmLineLog->close();
    Click(w.SpdBtnMeasInput);
    Pump();
    EXPECT_EQ(w.FrmLineLog->MemoLog->toPlainText(), shown);
    Choose("MCommLog");
    Pump();
    EXPECT_TRUE(w.FrmLineLog->MemoLog->toPlainText().endsWith(
        QString::fromStdString(TraceLines(w.LineLog.At(w.LineLog.Size() - 1)).back())));

    Seam().SaveAnswers.push_back(File("log.txt"));
    w.FrmLineLog->BtnSaveText->click();
    EXPECT_EQ(ReadFile(File("log.txt")), w.LineLog.Text());
}

TEST_F(WindowTechnicianTest, ALateReplyWhileAFileCommandReadsChangesNothing)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    w.ComPort.Timeouts().SetReadMultiplier(5); // a reply's time is 50 ms
    w.ComPort.Timeouts().SetReadConstant(15);
    Seam().SaveAnswers.push_back(File("own.kvt"));
    Choose("MFileSaveConfig");
    const std::string own = ReadFile(File("own.kvt"));
    ASSERT_FALSE(own.empty());

    // Each command first reads the eight writable words: a reply late at any of them.
    const double lateness[] = {0.8, 1.0, 1.2, 1.6};
    for (int read = 1; read <= 8; ++read) {
        SCOPED_TRACE(testing::Message() << "read " << read);
        ClearFrames();
        auto lateAt = [&] {
            Sim().SetFaults({.ReplyDelayMs = static_cast<int>(lateness[read % 4] * 50),
                             .DelayFrame = static_cast<int>(Sim().Counters().Frames) + read});
        };
        lateAt();
        Seam().SaveAnswers.push_back(File("again.kvt"));
        Choose("MFileSaveConfig");
        EXPECT_EQ(Settings(File("again.kvt")), Settings(File("own.kvt")));
        lateAt();
        Seam().OpenAnswers.push_back(File("own.kvt"));
        Choose("MFileLoadConfig");
        lateAt();
        Choose("MFileRestore");
        EXPECT_TRUE(Writes().empty());
        ASSERT_EQ(Boxes().size(), 2u) << BoxTexts().front().toStdString();
        EXPECT_EQ(Boxes()[0].Text, QString::fromUtf8("Převodník už má tuto konfiguraci; nic se nezapisuje."));
        EXPECT_EQ(Boxes()[1].Text, QString::fromUtf8("Převodník má stále nastavení jako při převzetí; nic se nezapisuje."));
        Seam().Boxes.clear();
    }
    Sim().SetFaults({});
}

TEST_F(WindowTechnicianTest, AWriteWhoseReplyIsLostIsToldAsUnknown)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    const QString file = File("c.kvt");
    WriteFile(file, "input = current\ninput-begin = 2.000 mA\ninput-end = 20.000 mA\noutput = current\n"
                    "output-begin = 4.000 mA\noutput-end = 20.000 mA\nfilter = 1\nreaction = 0\n");
    Window().ComPort.Timeouts().SetReadMultiplier(5);
    Window().ComPort.Timeouts().SetReadConstant(15);
    Sim().SetFaults({.NoReplyToCommand = CmdWriteWord});
    Seam().OpenAnswers.push_back(file);
    Seam().AskAnswers.push_back(true);
    Choose("MFileLoadConfig");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Text, Window().MsgLinkLost + QString::fromUtf8("\r\rZapsáno: nic\nNejisté, mohlo se uložit: InZero 35000 "
                                                                        "(převodník má 35000)\nNezapsáno: FilterType\r\r")
                                   + Window().MsgPowerCycle);
    EXPECT_FALSE(Window().Connected());
    EXPECT_EQ(Sim().Word(WordInZero), 35000);
}


} // namespace
