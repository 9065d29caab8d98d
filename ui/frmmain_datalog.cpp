// Data logging: the sampling period, start and stop, the samples, the chart steps, the export.
#include "ui/frmmain.h"

namespace kvt::ui {

void TFrmMain::CmbBxDatalogChange(QObject*)
{
    // Take the sampling period of the chosen item.
}

void TFrmMain::SpdBtnDatalogClick(QObject*)
{
    // Start or stop a recording.
}

void TFrmMain::TmrDatalogTimer(QObject*)
{
    // One sample per tick.
}

void TFrmMain::SpdBtnSaveFileClick(QObject*)
{
    // Export the log table as a CSV file.
}

void TFrmMain::PlaceChartPen(int)
{
    // Place the chart pen for the first reading.
}

void TFrmMain::PlotChartStep(int)
{
    // Plot one sample and scroll the chart.
}

} // namespace kvt::ui
