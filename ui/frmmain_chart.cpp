// The trend chart on the datalog tab.
#include "ui/frmmain.h"

#include <QLabel>

namespace kvt::ui {

void TFrmMain::DrawGraph()
{
    // The kind "none" keeps the full scale and the unit label of the last drawing.
    if (Chart.DrawGraph(DeviceSettings.ConfigType, DeviceSettings.InputMode))
        LblDtaUnit->setText(QString::fromUtf8(Chart.UnitLabel().data(), static_cast<qsizetype>(Chart.UnitLabel().size())));
    ImgDatalog->Changed();
}

} // namespace kvt::ui
