// Data logging in the window: start and stop, the samples in the table and on the chart, the end
// of a run by a failure or a return to the connect panel, and the CSV export.
#include "window_fixture.h"

#include "protocol/commands.h"
#include "protocol/device_settings.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <string>
#include <unistd.h>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

constexpr int Width = 633;
constexpr QRgb White = 0xFFFFFFFFu;
constexpr QRgb Black = 0xFF000000u;
const QString CsvFilter = QString::fromUtf8("CSV (oddělený středníkem)|*.csv");

class WindowDatalogTest : public TWindowTest {
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        // Ticks come from the test unless a test shortens the period.
        Seam().IntervalMap = [](int) { return 3600 * 1000; };
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::system());
        TWindowTest::TearDown();
    }

    // Picks the period item as the user does, then presses Start.
    void Start(int Period)
    {
        Window().CmbBxDatalog->setCurrentIndex(Period);
        Click(Window().SpdBtnDatalog);
        Pump();
    }
    void Tick()
    {
        RunHandler([this] { Window().TmrDatalogTimer(Window().TmrDatalog); });
    }
    void Raw(int Value)
    {
        sim::TSignal s;
        s.Unit = sim::TSignalUnit::Raw;
        s.Value = Value;
        Sim().SetSignal(s);
    }
    std::vector<std::string> Samples()
    {
        const TLogTable& t = Window().StrGrdDta->Table;
        std::vector<std::string> out;
        for (size_t r = 1; r < t.RowCount(); ++r)
            out.emplace_back(t.Cell(r));
        return out;
    }
    size_t Measures()
    {
        size_t n = 0;
        for (const TFrame& f : FramesOf(CmdMeasure)) {
            EXPECT_EQ(f[4], 2) << "measure only";
            ++n;
        }
        return n;
    }
    // The window's running state as one line, so that every control is compared at once.
    std::string RunState()
    {
        TFrmMain& w = Window();
        std::string s = w.SpdBtnDatalog->text().toStdString();
        s += w.TmrDatalog->Enabled() ? " timer" : " -";
        s += w.CmbBxDatalog->isEnabled() ? " period" : " -";
        s += w.SpdBtnSaveFile->isEnabled() ? " save" : " -";
        s += w.SpdBtnReload->isEnabled() ? " reload" : " -";
        s += w.SpdBtnMeasInput->isEnabled() ? " measure" : " -";
        s += w.PgControl->TabVisible(w.TbSignals) ? " signals" : " -";
        s += w.PgControl->TabVisible(w.TbOptions) ? " options" : " -";
        return s;
    }
    // The file's bytes, or "<none>" when it cannot be read.
    static std::string FileBytes(const QString& Path)
    {
        QFile f(Path);
        if (!f.open(QIODevice::ReadOnly))
            return "<none>";
        return f.readAll().toStdString();
    }
    // Presses the save button with the dialog answered by Name.
    void Save(const QString& Name)
    {
        Seam().SaveAnswers.push_back(Name);
        Click(Window().SpdBtnSaveFile);
        Pump();
    }
};

const std::string Stopped = "Start - period save reload measure signals options";
const std::string Running = "Stop timer - - - - - -";

int YOf(int V, int F)
{
    return static_cast<int>(std::lrint(154.0 - static_cast<double>(V) / F * 150.0));
}

} // namespace

TEST_F(WindowDatalogTest, StartWithoutAPeriodOnlyAsksForOne)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    ClearFrames();
    Click(w.SpdBtnDatalog);
    Pump();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
    EXPECT_EQ(Boxes()[0].Text, w.MsgNoPeriod);
    EXPECT_EQ(w.MsgNoPeriod, QString::fromUtf8("Vyberte prosím časouvou periodu pro záznam dat."));
    EXPECT_EQ(RunState(), Stopped);
    EXPECT_TRUE(Frames().empty());
    EXPECT_EQ(w.StrGrdDta->Table.RowCount(), 1u);
    EXPECT_EQ(w.StrGrdDta->Table.Cell(0), "");
}

TEST_F(WindowDatalogTest, StartTicksAndStopFillTheTableAndRestoreTheControls)
{
    auto config = PcConfig(ModelKVT27);
    config.Words[WordCalIn0mA] = 1000;
    config.Words[WordCalIn20mA] = 41000; // 0.5 uA per count
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    EXPECT_EQ(RunState(), Stopped);

    std::vector<int> asked;
    Seam().IntervalMap = [&asked](int Ms) {
        asked.push_back(Ms);
        return 3600 * 1000;
    };
    w.CmbBxDatalog->setCurrentIndex(6);
    EXPECT_EQ(w.TmrDatalog->Interval(), 120000);
    w.CmbBxDatalog->setCurrentIndex(-1);
    EXPECT_EQ(w.TmrDatalog->Interval(), 120000) << "no item keeps the period";

    w.LblAIMeasVal->setText("4000 uA");
    Raw(1000 + 2 * 4000);
    ClearFrames();
    Start(2);
    EXPECT_EQ(w.TmrDatalog->Interval(), 5000);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), 5000);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(RunState(), Running);
    EXPECT_EQ(w.LblAIMeasVal->text(), "");
    EXPECT_EQ(w.EdtDatalog->text(), "4000") << "the reading at Start is shown";
    EXPECT_EQ(w.LblDtaUnit->text(), "uA");
    EXPECT_EQ(Measures(), 1u);
    EXPECT_EQ(w.StrGrdDta->Table.RowCount(), 1u) << "and not stored";
    EXPECT_EQ(w.StrGrdDta->Table.Cell(0), "5 sec");
    EXPECT_EQ(w.LblDtaCount->text(), "");
    EXPECT_TRUE(w.PgControl->TabVisible(w.TbDatalog));
    EXPECT_TRUE(w.PgControl->TabVisible(w.TbShtNumeral));

    for (int v : {4012, 4015, 4020}) {
        Raw(1000 + 2 * v);
        Tick();
    }
    EXPECT_EQ(Samples(), (std::vector<std::string>{"4012", "4015", "4020"}));
    EXPECT_EQ(w.EdtDatalog->text(), "4020");
    EXPECT_EQ(w.LblDtaCount->text(), "3");
    EXPECT_EQ(Measures(), 4u);

    Click(w.SpdBtnDatalog);
    Pump();
    EXPECT_EQ(RunState(), Stopped);
    EXPECT_EQ(Samples().size(), 3u) << "Stop keeps the log";
    EXPECT_EQ(w.LblDtaCount->text(), "3");
    EXPECT_EQ(Measures(), 4u) << "Stop sends nothing";

    // A new run drops the old log at once but keeps the old count until its first tick.
    Start(0);
    EXPECT_EQ(w.StrGrdDta->Table.RowCount(), 1u);
    EXPECT_EQ(w.StrGrdDta->Table.Cell(0), "1 sec");
    EXPECT_EQ(w.LblDtaCount->text(), "3");
    Tick();
    EXPECT_EQ(w.LblDtaCount->text(), "1");
    EXPECT_EQ(Samples(), (std::vector<std::string>{"4020"}));
    Click(w.SpdBtnDatalog);
    Pump();
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowDatalogTest, TheTimerTakesTheFirstSampleOnePeriodAfterStartAndStopsWithStop)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Seam().IntervalMap = [](int Ms) { return Ms == 2000 ? 300 : 3600 * 1000; };
    QElapsedTimer clock;
    clock.start();
    Start(1);
    ASSERT_TRUE(WaitUntil([&] { return w.StrGrdDta->Table.SampleCount() >= 1; }, 10000));
    EXPECT_GE(clock.elapsed(), 250) << "one period after Start";
    ASSERT_TRUE(WaitUntil([&] { return w.StrGrdDta->Table.SampleCount() >= 3; }, 20000));

    Click(w.SpdBtnDatalog);
    Pump();
    const size_t taken = w.StrGrdDta->Table.SampleCount();
    const size_t measured = Measures();
    EXPECT_EQ(measured, taken + 1);
    EXPECT_EQ(w.LblDtaCount->text(), QString::number(taken));
    Pump(700);
    EXPECT_EQ(w.StrGrdDta->Table.SampleCount(), taken);
    EXPECT_EQ(Measures(), measured);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowDatalogTest, MillivoltSamplesShowOneDecimalAndPlotTheTruncatedMillivolts)
{
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    auto config = PcConfig(ModelKVT27);
    config.Words[WordInputMode] = 5;
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    Raw(32768);
    Start(0);
    EXPECT_EQ(w.LblDtaUnit->text(), "mV");
    EXPECT_EQ(w.Chart.FullScale(), 600);
    EXPECT_EQ(w.EdtDatalog->text(), "0");

    // Raw 32964 gives 350 hundredths of a millivolt, 32572 gives -350 and 32936 gives 300.
    struct TCase {
        int Raw;
        const char* Text;
        int Plotted;
    };
    for (const TCase& c : {TCase{32964, "3,5", 3}, TCase{32572, "-3,5", -3}, TCase{32936, "3", 3}}) {
        Raw(c.Raw);
        Tick();
        EXPECT_EQ(w.EdtDatalog->text(), c.Text);
        EXPECT_EQ(w.Chart.PenY(), YOf(c.Plotted, 600)) << c.Text;
    }
    EXPECT_EQ(Samples(), (std::vector<std::string>{"3,5", "-3,5", "3"}));

    // The locale decides the separator; samples already stored keep theirs.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Raw(32964);
    Tick();
    EXPECT_EQ(Samples(), (std::vector<std::string>{"3,5", "-3,5", "3", "3.5"}));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowDatalogTest, TheChartPlotsZeroHalfAndFullScaleAndScrollsFivePixelsPerSample)
{
    ASSERT_TRUE(ConnectToSim(DipConfig(ModelKVT27, 8))); // resistance transmitter: F = 100 %
    TFrmMain& w = Window();
    Seam().Boxes.clear();
    auto percent = [this](double V) {
        sim::TSignal s;
        s.Unit = sim::TSignalUnit::Percent;
        s.Value = V;
        Sim().SetSignal(s);
    };
    percent(0);
    Start(0);
    EXPECT_EQ(w.Chart.FullScale(), 100);
    EXPECT_EQ(w.Chart.PenX(), Width - 5);
    EXPECT_EQ(w.Chart.PenY(), 154);
    const QImage empty = w.Chart.Image().copy();

    for (double v : {0.0, 0.0, 50.0, 50.0, 100.0}) {
        percent(v);
        Tick();
    }
    const QImage before = w.Chart.Image().copy();
    percent(100);
    Tick();
    const QImage& img = w.Chart.Image();
    ASSERT_EQ(img.size(), QSize(Width, 155));

    // Everything right of the fixed part moved 5 px left; the fixed part stayed.
    for (int y = 0; y < 155; ++y) {
        for (int x = 0; x < 55; ++x)
            ASSERT_EQ(img.pixel(x, y), empty.pixel(x, y)) << x << "," << y;
        for (int x = 55; x < Width - 11; ++x)
            ASSERT_EQ(img.pixel(x, y), before.pixel(x + 5, y)) << x << "," << y;
    }
    // Flat samples: 0 on the bottom grid line, F / 2 at y 79, F on the top grid line, each a
    // 5 px run, the newest ending 6 px from the right edge.
    struct TRun {
        int Y;
        int X0;
    };
    for (const TRun& r : {TRun{154, Width - 31}, TRun{79, Width - 21}, TRun{4, Width - 11}})
        for (int x = r.X0; x < r.X0 + 5; ++x)
            EXPECT_EQ(img.pixel(x, r.Y), Black) << x << "," << r.Y;
    EXPECT_EQ(YOf(50, 100), 79);
    // The fresh strip at the right edge: white with its grid stubs.
    const QRgb gray = w.palette().color(QPalette::Disabled, QPalette::WindowText).rgb();
    for (int y = 0; y < 155; ++y) {
        const bool grid = y == 4 || y == 34 || y == 64 || y == 94 || y == 124 || y == 154;
        for (int x = Width - 5; x < Width; ++x)
            ASSERT_EQ(img.pixel(x, y), grid ? gray : White) << x << "," << y;
    }
    EXPECT_EQ(w.Chart.PenX(), Width - 6);
    EXPECT_EQ(w.Chart.PenY(), 4);

    // The image on screen is this bitmap.
    w.PgControl->setCurrentWidget(w.TbDatalog);
    const QImage shown = w.ImgDatalog->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), img.size());
    EXPECT_TRUE(shown == img.convertToFormat(QImage::Format_RGB32));

    // Stop leaves the chart; under a DIP configuration the signal tab stays hidden.
    Click(w.SpdBtnDatalog);
    Pump();
    EXPECT_TRUE(w.Chart.Image() == img);
    EXPECT_FALSE(w.PgControl->TabVisible(w.TbSignals));
    EXPECT_TRUE(w.PgControl->TabVisible(w.TbOptions));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowDatalogTest, NothingIsPlottedWhileTheChartHasNoScale)
{
    auto config = PcConfig(ModelKVT27);
    config.Words[WordInputMode] = 7; // no kind: no conversion, no scale
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    ASSERT_EQ(w.Chart.FullScale(), 0);
    Start(0);
    const QImage blank = w.Chart.Image().copy();
    Tick();
    Tick();
    EXPECT_TRUE(w.Chart.Image() == blank);
    EXPECT_EQ(Samples(), (std::vector<std::string>{"0", "0"}));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowDatalogTest, AFailedTickEndsTheRunBeforeItsBoxAndKeepsTheSamples)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Seam().IntervalMap = [](int) { return 40; };
    Start(0);
    ASSERT_TRUE(WaitUntil([&] { return w.StrGrdDta->Table.SampleCount() >= 2; }, 20000));

    sim::TFaults faults;
    faults.NoReplyToCommand = CmdMeasure;
    Sim().SetFaults(faults);
    bool timerOnDuringBox = true;
    size_t samplesAtBox = 0;
    Seam().OnBox = [&](const TBox&) {
        timerOnDuringBox = w.TmrDatalog->Enabled();
        samplesAtBox = w.StrGrdDta->Table.SampleCount();
    };
    ASSERT_TRUE(WaitUntil([&] { return !Boxes().empty(); }, 20000));
    Pump();
    Seam().OnBox = nullptr;

    EXPECT_EQ(BoxTexts(), (std::vector<QString>{w.MsgLinkLost}));
    EXPECT_FALSE(timerOnDuringBox);
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_FALSE(w.ComPort.Active());
    EXPECT_EQ(RunState(), Stopped);
    EXPECT_EQ(w.StrGrdDta->Table.SampleCount(), samplesAtBox) << "the failed tick stores nothing";
    EXPECT_GE(samplesAtBox, 2u);
    EXPECT_EQ(w.LblDtaCount->text(), QString::number(samplesAtBox));
}

TEST_F(WindowDatalogTest, AFailedReadingAtStartReportsTheLinkWithTheTimerStopped)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27L)));
    TFrmMain& w = Window();
    sim::TFaults faults;
    faults.NoReplyToCommand = CmdMeasure;
    Sim().SetFaults(faults);
    bool timerOnDuringBox = true;
    Seam().OnBox = [&](const TBox&) { timerOnDuringBox = w.TmrDatalog->Enabled(); };
    Start(3);
    EXPECT_EQ(BoxTexts(), (std::vector<QString>{w.MsgLinkLost}));
    EXPECT_FALSE(timerOnDuringBox);
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_EQ(RunState(), Stopped);
    EXPECT_EQ(w.StrGrdDta->Table.RowCount(), 1u);
    EXPECT_EQ(w.StrGrdDta->Table.Cell(0), "10 sec");
}

TEST_F(WindowDatalogTest, AReturnToTheConnectPanelEndsARunAndTheSamplesCanBeSavedLater)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Raw(32000 + 3 * 1000); // 2000 uA with the default calibration
    Start(4);
    Tick();
    Tick();
    Choose("MCommEnd");
    Pump();
    EXPECT_TRUE(w.PanelConnect->isVisible());
    EXPECT_EQ(RunState(), Stopped);
    EXPECT_EQ(Samples(), (std::vector<std::string>{"2000", "2000"}));

    PressConnect();
    ASSERT_TRUE(w.PanelConfig->isVisible());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Save(dir.filePath("kept"));
    EXPECT_EQ(FileBytes(dir.filePath("kept.csv")), "20 sec;\r\n2000;\r\n2000;\r\n");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowDatalogTest, TheExportWritesEveryRowWithASemicolonAndCrLf)
{
    auto config = PcConfig(ModelKVT27);
    config.Words[WordCalIn0mA] = 1000;
    config.Words[WordCalIn20mA] = 41000;
    ASSERT_TRUE(ConnectToSim(config));
    TFrmMain& w = Window();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // Before any run: row 0 is empty.
    Save(dir.filePath("none.csv"));
    EXPECT_EQ(FileBytes(dir.filePath("none.csv")), ";\r\n");
    ASSERT_EQ(Seam().SaveFilters.size(), 1u);
    EXPECT_EQ(Seam().SaveFilters[0], CsvFilter);
    EXPECT_EQ(QtFileFilter(CsvFilter), QString::fromUtf8("CSV (oddělený středníkem) (*.csv)"));

    // Start and Stop without a tick: the period line only.
    Start(2);
    Click(w.SpdBtnDatalog);
    Save(dir.filePath("empty.csv"));
    EXPECT_EQ(FileBytes(dir.filePath("empty.csv")), "5 sec;\r\n");

    Start(2);
    for (int v : {4012, 4015, 4020, -250}) {
        Raw(1000 + 2 * v);
        Tick();
    }
    Click(w.SpdBtnDatalog);
    const std::string run = "5 sec;\r\n4012;\r\n4015;\r\n4020;\r\n-250;\r\n";
    Save(dir.filePath("run.csv"));
    EXPECT_EQ(FileBytes(dir.filePath("run.csv")), run);
    // Again, over the same file: the same bytes, and the table is untouched.
    Save(dir.filePath("run.csv"));
    EXPECT_EQ(FileBytes(dir.filePath("run.csv")), run);
    EXPECT_EQ(w.StrGrdDta->Table.RowCount(), 5u);

    // The name gets ".csv" only when it does not end in it, in any case.
    Save(dir.filePath("plain"));
    Save(dir.filePath("LOG.CSV"));
    Save(dir.filePath("log.txt"));
    EXPECT_EQ(FileBytes(dir.filePath("plain.csv")), run);
    EXPECT_EQ(FileBytes(dir.filePath("LOG.CSV")), run);
    EXPECT_EQ(FileBytes(dir.filePath("log.txt.csv")), run);
    QStringList files = QDir(dir.path()).entryList(QDir::Files);
    files.sort();
    EXPECT_EQ(files, (QStringList{"LOG.CSV", "empty.csv", "log.txt.csv", "none.csv", "plain.csv", "run.csv"}));

    // Cancel writes nothing.
    Click(w.SpdBtnSaveFile);
    Pump();
    EXPECT_EQ(Seam().SaveFilters.size(), 8u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 6);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowDatalogTest, AFileThatCannotBeWrittenGivesTheReasonAndStaysAsItWas)
{
    ASSERT_TRUE(ConnectToSim(PcConfig(ModelKVT27)));
    TFrmMain& w = Window();
    Raw(32000 + 3 * 1000);
    Start(0);
    Tick();
    Click(w.SpdBtnDatalog);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct TCase {
        QString Name;
        const char* Reason;
    };
    ASSERT_EQ(::symlink("/dev/full", QFile::encodeName(dir.filePath("full.csv")).constData()), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.csv"));
    const TCase cases[] = {
        {dir.filePath("missing/log.csv"), "The folder does not exist"},
        {dir.filePath("folder.csv"), "Is a folder"},
        {dir.filePath("full"), "Is a symbolic link, which is not followed"}, // ".csv" is added
    };
    for (const TCase& c : cases) {
        Seam().Boxes.clear();
        Save(c.Name);
        ASSERT_EQ(Boxes().size(), 1u) << c.Name.toStdString();
        EXPECT_EQ(Boxes()[0].Kind, TBoxKind::Error);
        EXPECT_EQ(Boxes()[0].Text.toStdString(), c.Reason);
        EXPECT_TRUE(Boxes()[0].Detail.endsWith(".csv")) << Boxes()[0].Detail.toStdString();
    }
    EXPECT_EQ(QFileInfo(dir.filePath("full.csv")).symLinkTarget(), "/dev/full");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
        (QStringList{"folder.csv", "full.csv"}));
    EXPECT_EQ(Samples(), (std::vector<std::string>{"2000"}));
    EXPECT_EQ(w.StrGrdDta->Table.Cell(0), "1 sec");
    EXPECT_TRUE(w.PanelConfig->isVisible());
    EXPECT_EQ(RunState(), Stopped);
}

// The program's own save dialog: it shows the one filter and asks before it hands back the name
// of a file that exists.
// Types Path's name into the dialog, in Path's folder, as the user would (selectFile leaves the
// name field alone while it has the focus), and accepts once the dialog holds the name Shown.
// The accept is queued: the question it may ask runs its own loop, in which the caller's timer
// would not fire.
bool AcceptOnceChosen(QFileDialog* Dialog, const QString& Path, const char* Shown)
{
    const QFileInfo target(Path);
    if (Dialog->directory() != target.absoluteDir())
        Dialog->setDirectory(target.absoluteDir());
    auto* name = Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name != nullptr && name->text() != target.fileName())
        name->setText(target.fileName());
    const QStringList chosen = Dialog->selectedFiles();
    if (chosen.isEmpty() || QFileInfo(chosen.constFirst()).fileName() != QLatin1String(Shown))
        return false;
    QMetaObject::invokeMethod(Dialog, "accept", Qt::QueuedConnection);
    return true;
}

TEST(SaveDialog, TheRealDialogAsksBeforeReplacingAFile)
{
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath("log.csv");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old;\r\n");
    }

    QStringList filters;
    QStringList questions;
    int step = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            questions << box->text();
            // The first time the user declines and stays in the dialog, then agrees.
            box->button(questions.size() == 1 ? QMessageBox::No : QMessageBox::Yes)->click();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || step >= 2)
            return;
        if (step == 0)
            filters = dialog->nameFilters();
        if (AcceptOnceChosen(dialog, existing, "log.csv"))
            ++step;
    });
    driver.start(50);
    TQtUiSeam seam;
    const auto chosen = seam.SaveFileName(nullptr, CsvFilter, QString());
    driver.stop();

    if (filters.isEmpty() && questions.isEmpty())
        GTEST_SKIP() << "the platform's own file dialog is in use";
    EXPECT_EQ(filters, QStringList{QString::fromUtf8("CSV (oddělený středníkem) (*.csv)")});
    EXPECT_EQ(questions.size(), 2);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(*chosen).fileName(), "log.csv");
    EXPECT_EQ(step, 2) << "declining kept the dialog open";
}

// A name typed without an extension is asked about as the file the export will write.
TEST(SaveDialog, ANameWithoutExtensionIsAskedAboutAsTheCsvFile)
{
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile f(dir.filePath("log.csv"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old;\r\n");
    }

    QStringList questions;
    bool accepted = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            questions << box->text();
            box->button(QMessageBox::Yes)->click();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || accepted)
            return;
        accepted = AcceptOnceChosen(dialog, dir.filePath("log"), "log.csv");
    });
    driver.start(50);
    TQtUiSeam seam;
    const auto chosen = seam.SaveFileName(nullptr, CsvFilter, QString());
    driver.stop();

    if (!accepted)
        GTEST_SKIP() << "the platform's own file dialog is in use";
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(*chosen).fileName(), "log.csv");
    EXPECT_EQ(questions.size(), 1) << "the existing log.csv is not replaced unasked";
}
