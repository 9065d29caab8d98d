// File › Bench job: a job of one row run through the dialog against the simulator.
#include "window_fixture.h"

#include "protocol/device_settings.h"
#include "ui/benchjob_dialog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <fstream>

using namespace kvt;
using namespace kvt::ui;
using namespace kvt::ui::test;

namespace {

class WindowBenchJob : public TWindowTest {};

} // namespace

TEST_F(WindowBenchJob, RunsAJobRowByRowWithTheNextStepShown)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kvt-benchjob-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    std::ofstream(folder + "/job.csv") << "tag,input,input-begin,input-end,output,output-begin,output-end,filter,reaction\n"
                                          "FT-101,voltage,0 V,10 V,current,4 mA,20 mA,2,0\n";
    sim::TSimulator& sim = StartSim(PcConfig(10));
    TFrmMain& w = Window();
    TypePort(QString::fromStdString(sim.DevicePath()));
    Seam().IntervalMap = [](int Ms) { return Ms > 0 ? 20 : 0; };
    Seam().OpenAnswers.push_back(dir.filePath(QStringLiteral("job.csv")));

    Choose("MFileBenchJob");
    TBenchJobDialog* d = w.FrmBenchJob;
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->EdtPort->text(), QString::fromStdString(sim.DevicePath()));
    d->BtnJobFile->click();
    EXPECT_EQ(d->EdtRecords->text(), dir.path());
    d->BtnStart->click();
    EXPECT_EQ(d->LblNext->text(), QString::fromUtf8("Připojte převodník pro FT-101"));
    EXPECT_FALSE(d->BtnStart->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !d->Running(); }, 20000));

    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(d->LblNext->text(), QString::fromUtf8("Hotovo: všechny řádky zpracovány"));
    ASSERT_EQ(d->TblRows->rowCount(), 1);
    EXPECT_EQ(d->TblRows->item(0, 1)->text(), QStringLiteral("FT-101"));
    EXPECT_EQ(d->TblRows->item(0, 2)->text(), QStringLiteral("KVT27 1.200/160822"));
    EXPECT_EQ(d->TblRows->item(0, 3)->text(), QStringLiteral("hotovo"));
    EXPECT_EQ(d->TblRows->item(0, 4)->text(), QStringLiteral("InZero InEnd InputMode FilterType"));
    EXPECT_EQ(sim.Word(WordInputMode), 4);
    EXPECT_EQ(sim.Word(WordFilterType), 2);
    // The record as JSON and as PDF, and the summary.
    QFile pdf(dir.filePath(QStringLiteral("FT-101.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    for (const char* name : {"FT-101.json", "job-summary.csv", "job-summary.json"})
        EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromLatin1(name)))) << name;
    // The window's own link was never opened.
    EXPECT_FALSE(w.ComPort.Active());
    d->BtnClose->click();
    EXPECT_FALSE(d->isVisible());
}
