#include "datalog/datalog_run.h"

namespace kvt {

void TDatalogRun::Start(std::string_view PeriodText)
{
    FTable.SetCell(0, PeriodText);
    FTable.SetCurrentRow(0);
    FTable.SetRowCount(0);
    FFirst.reset();
}

} // namespace kvt
