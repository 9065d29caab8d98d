// Data logging: the sampling period, start and stop, the samples, the chart steps, the export.
#include "ui/frmmain.h"

#include "ui/settings.h"
#include "ui/uiseam.h"

#include "datalog/csv_export.h"
#include "datalog/sample_text.h"
#include "signal/signal_kind.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include <string>

namespace kvt::ui {

namespace {

// The end of a run, by Stop or by an error that leaves the transaction.
void StopSampling(TFrmMain& W)
{
    W.Model.StopSampling();
    W.TmrDatalog->SetEnabled(false);
    W.CmbBxDatalog->setEnabled(true);
    W.SpdBtnDatalog->setText(QStringLiteral("Start"));
    W.SpdBtnSaveFile->setEnabled(true);
    // Under a DIP-switch configuration the signal tab was never shown: it stays hidden.
    W.PgControl->SetTabVisible(W.TbSignals, ConfigClassOf(W.DeviceSettings.ConfigType) == TConfigClass::Pc);
    W.PgControl->SetTabVisible(W.TbOptions, true);
    W.SpdBtnReload->setEnabled(true);
    W.SpdBtnMeasInput->setEnabled(true);
}

// One reading shown in EdtDatalog, as at Start and on every tick. A failed reading stops the
// timer before its box, so that no tick runs inside the box's modal loop, and ends the run.
TSample ShowReading(TFrmMain& W)
{
    const TResult<TMeasured> r = W.Model.Sample();
    if (!r.Ok()) {
        W.Model.StopSampling();
        W.TmrDatalog->SetEnabled(false);
    }
    const TMeasured m = W.Need(r);
    TSample sample = SampleDisplay(W.DeviceSettings.ConfigType, W.DeviceSettings.InputMode, m.Value,
                                   QLocale().decimalPoint().toStdString());
    W.EdtDatalog->setText(QString::fromStdString(sample.Text));
    return sample;
}

} // namespace

void TFrmMain::CmbBxDatalogChange(QObject*)
{
    const int i = CmbBxDatalog->currentIndex();
    if (i >= 0 && i < static_cast<int>(DatalogPeriods.size()))
        TmrDatalog->SetInterval(DatalogPeriods[static_cast<size_t>(i)].IntervalMs);
}

void TFrmMain::SpdBtnDatalogClick(QObject*)
{
    if (Model.Sampling()) {
        StopSampling(*this);
        return;
    }

    const int period = CmbBxDatalog->currentIndex();
    if (period < 0) {
        ErrorBox(this, MsgNoPeriod);
        return;
    }

    Model.StartSampling(CmbBxDatalog->itemText(period).toStdString());
    SpdBtnSaveFile->setEnabled(false);
    DrawGraph();

    ParkFocus(CmbBxDatalog);
    CmbBxDatalog->setEnabled(false);
    TmrDatalog->SetEnabled(true);
    SpdBtnDatalog->setText(QStringLiteral("Stop"));

    ParkFocus(TbSignals);
    ParkFocus(TbOptions);
    PgControl->SetTabVisible(TbSignals, false);
    PgControl->SetTabVisible(TbOptions, false);
    SpdBtnReload->setEnabled(false);
    SpdBtnMeasInput->setEnabled(false);
    LblAIMeasVal->clear();

    // The reading at Start is shown and places the pen; it is neither stored nor counted.
    const TSample first = ShowReading(*this);
    Datalog.SetFirst(first);
    PlaceChartPen(first.ChartValue);
}

void TFrmMain::TmrDatalogTimer(QObject*)
{
    const TSample sample = ShowReading(*this);
    // The run stores what the field shows, read back from it.
    Datalog.Add(EdtDatalog->text().toStdString());
    LblDtaCount->setText(QString::number(Datalog.Count()));
    PlotChartStep(sample.ChartValue);
}

void TFrmMain::SpdBtnSaveFileClick(QObject*)
{
    SvDlg->Filter = CsvFilter;
    SvDlg->InitialDir = TProgramSettings::CsvFolder();
    if (!SvDlg->Execute(this))
        return;
    TProgramSettings::SetCsvFolder(QFileInfo(SvDlg->FileName).absolutePath());
    // ".csv" only where the chosen name lacks it, so that the name the dialog checked before
    // replacing a file is the name written.
    const std::string name = CsvFileName(SystemFileName(SvDlg->FileName));
    try {
        ExportCsv(Datalog.Table(), name);
    } catch (const ECsvError& e) {
        ErrorBox(this, FromSystemText(e.what()),
                 QDir::toNativeSeparators(QString::fromStdString(CsvFileName(SvDlg->FileName.toStdString()))));
    }
}

void TFrmMain::PlaceChartPen(int Value)
{
    Chart.PlaceStart(Value);
}

void TFrmMain::PlotChartStep(int Value)
{
    Chart.PlotStep(Value);
    ImgDatalog->Changed();
}

} // namespace kvt::ui
