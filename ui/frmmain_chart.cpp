// The trend chart on the datalog tab.
#include "ui/frmmain.h"
#include "ui/langtext.h"

#include <QLabel>

namespace kvt::ui {

void TFrmMain::DrawGraph()
{
    // The kind "none" keeps the full scale and the unit label of the last drawing.
    if (Chart.DrawGraph(DeviceSettings.ConfigType, DeviceSettings.InputMode))
        LblDtaUnit->setText(Utf8(Chart.UnitLabel()));
    ImgDatalog->Changed();
}

} // namespace kvt::ui
