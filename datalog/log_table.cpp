#include "datalog/log_table.h"

namespace kvt {

void TLogTable::SetRowCount(size_t Count)
{
    if (Count < 1)
        Count = 1;
    const size_t samples = Count - 1;
    if (samples < FEnds.size()) {
        FEnds.resize(samples);
        FBody.resize(FEnds.empty() ? 0 : FEnds.back());
    } else {
        FEnds.resize(samples, FBody.size());
    }
    if (FCurrentRow >= Count)
        FCurrentRow = Count - 1;
}

std::string_view TLogTable::Cell(size_t Row) const
{
    if (Row == 0)
        return FHead;
    if (Row > FEnds.size())
        return {};
    const size_t begin = Start(Row);
    return std::string_view(FBody).substr(begin, FEnds[Row - 1] - begin);
}

void TLogTable::SetCell(size_t Row, std::string_view Text)
{
    if (Row == 0) {
        FHead.assign(Text);
        return;
    }
    if (Row >= RowCount())
        SetRowCount(Row + 1);
    const size_t begin = Start(Row);
    const size_t oldEnd = FEnds[Row - 1];
    if (Row == FEnds.size()) {
        FBody.resize(begin);
        FBody.append(Text);
        FEnds[Row - 1] = FBody.size();
        return;
    }
    FBody.replace(begin, oldEnd - begin, Text);
    const ptrdiff_t shift = static_cast<ptrdiff_t>(Text.size()) - static_cast<ptrdiff_t>(oldEnd - begin);
    for (size_t i = Row - 1; i < FEnds.size(); ++i)
        FEnds[i] = static_cast<size_t>(static_cast<ptrdiff_t>(FEnds[i]) + shift);
}

void TLogTable::Append(std::string_view Text)
{
    FBody.append(Text);
    FEnds.push_back(FBody.size());
}

void TLogTable::SetCurrentRow(size_t Row)
{
    FCurrentRow = Row < RowCount() ? Row : RowCount() - 1;
}

} // namespace kvt
