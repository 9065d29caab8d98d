// Data logging: the sampling period, start and stop, the samples, the chart steps, the export.
#include "ui/frmmain.h"

#include "ui/uiseam.h"

#include "datalog/csv_export.h"
#include "datalog/sample_text.h"
#include "protocol/commands.h"
#include "signal/signal_kind.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include <string>

namespace kvt::ui {

namespace {

// The one filter of the save dialog, the same in both languages.
const char* const CsvFilter = "CSV (oddělený středníkem)|*.csv";

// The measured value from a CmdMeasure reply: bytes 4 and 5, big-endian.
int ReplyReading(const std::string& Reply)
{
    return static_cast<uint8_t>(Reply.at(3)) * 256 + static_cast<uint8_t>(Reply.at(4));
}

// The end of a run, by Stop or by an error that leaves the transaction.
void StopSampling(TFrmMain& W)
{
    W.TmrDatalog->SetEnabled(false);
    W.CmbBxDatalog->setEnabled(true);
    W.SpdBtnDatalog->setText(QStringLiteral("Start"));
    W.SpdBtnSaveFile->setEnabled(true);
    // Under a DIP-switch configuration the signal tab was never shown: it stays hidden.
    W.PgControl->SetTabVisible(W.TbSignals, ConfigClassOf(W.DeviceSettings.ConfigType) == TConfigClass::ccPc);
    W.PgControl->SetTabVisible(W.TbOptions, true);
    W.SpdBtnReload->setEnabled(true);
    W.SpdBtnMeasInput->setEnabled(true);
}

// One CmdMeasure, measure only. A serial error raised while the request leaves the port goes
// on to the error report, but only after the run has ended: a running timer would raise it
// again inside every box.
bool Measure(TFrmMain& W, int& Raw)
{
    std::string reply;
    int elapsed = 0;
    int result = 0;
    try {
        result = W.Send(CmdMeasure, MeasureOnly, reply, elapsed);
    } catch (...) {
        StopSampling(W);
        throw;
    }
    if (result != 1)
        return false;
    Raw = ReplyReading(reply);
    return true;
}

// One reading shown in EdtDatalog, as at Start and on every tick. A failed reading stops the
// timer before its box, so that no tick runs inside the box's modal loop, and ends the run.
bool ShowReading(TFrmMain& W, TSample& Sample)
{
    int raw = 0;
    if (!Measure(W, raw)) {
        W.TmrDatalog->SetEnabled(false);
        W.LinkLost();
        return false;
    }
    Sample = SampleDisplay(W.DeviceSettings.ConfigType, W.DeviceSettings.InputMode, W.NormalizeValueAD(raw),
                           QLocale().decimalPoint().toStdString());
    W.EdtDatalog->setText(QString::fromStdString(Sample.Text));
    return true;
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
    if (TmrDatalog->Enabled()) {
        StopSampling(*this);
        return;
    }

    const int period = CmbBxDatalog->currentIndex();
    if (period < 0) {
        ErrorBox(this, MsgNoPeriod);
        return;
    }

    TLogTable& table = StrGrdDta->Table;
    table.SetCell(0, CmbBxDatalog->itemText(period).toStdString());
    SpdBtnSaveFile->setEnabled(false);
    DrawGraph();
    table.SetCurrentRow(0);
    table.SetRowCount(0);

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
    TSample sample;
    if (ShowReading(*this, sample))
        PlaceChartPen(sample.ChartValue);
}

void TFrmMain::TmrDatalogTimer(QObject*)
{
    TSample sample;
    if (!ShowReading(*this, sample))
        return;

    // The table stores what the field shows, read back from it.
    TLogTable& table = StrGrdDta->Table;
    table.Append(EdtDatalog->text().toStdString());
    LblDtaCount->setText(QString::number(table.RowCount() - 1));
    PlotChartStep(sample.ChartValue);
}

void TFrmMain::SpdBtnSaveFileClick(QObject*)
{
    SvDlg->Filter = QString::fromUtf8(CsvFilter);
    if (!SvDlg->Execute(this))
        return;
    // ".csv" only where the chosen name lacks it, so that the name the dialog checked before
    // replacing a file is the name written. File names are UTF-8 throughout (on Windows the export
    // opens them through the wide API).
    const std::string name = CsvFileName(SvDlg->FileName.toUtf8().toStdString());
    try {
        ExportCsv(StrGrdDta->Table, name);
    } catch (const ECsvError& e) {
        ErrorBox(this, QString::fromLocal8Bit(e.what()), QDir::toNativeSeparators(QString::fromUtf8(name)));
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
