// Numeric range entry: the compute-and-store buttons of the numeric tab.
#include "ui/frmmain.h"

namespace kvt::ui {

void TFrmMain::SpdBtnSendNumeralClick(QObject*)
{
    // Convert the entered input range to raw words and store them.
}

void TFrmMain::SpdBtnSendNumeralAOClick(QObject*)
{
    // Convert the entered output range to DA codes and store them.
}

} // namespace kvt::ui
