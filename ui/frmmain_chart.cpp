// The trend chart on the datalog tab.
#include "ui/frmmain.h"

namespace kvt::ui {

void TFrmMain::DrawGraph()
{
    // TEMP until datalog lands
}

} // namespace kvt::ui
