#include "datalog/log_table.h"

namespace kvt {

void TLogTable::SetRowCount(size_t Count)
{
    if (Count < 1)
        Count = 1;
    const size_t samples = Count - 1;
    if (samples < Ends_.size()) {
        Ends_.resize(samples);
        Body_.resize(Ends_.empty() ? 0 : Ends_.back());
    } else {
        Ends_.resize(samples, Body_.size());
    }
    if (CurrentRow_ >= Count)
        CurrentRow_ = Count - 1;
}

std::string_view TLogTable::Cell(size_t Row) const
{
    if (Row == 0)
        return Head_;
    if (Row > Ends_.size())
        return {};
    const size_t begin = Start(Row);
    return std::string_view(Body_).substr(begin, Ends_[Row - 1] - begin);
}

void TLogTable::SetCell(size_t Row, std::string_view Text)
{
    if (Row == 0) {
        Head_.assign(Text);
        return;
    }
    if (Row >= RowCount())
        SetRowCount(Row + 1);
    const size_t begin = Start(Row);
    const size_t oldEnd = Ends_[Row - 1];
    if (Row == Ends_.size()) {
        Body_.resize(begin);
        Body_.append(Text);
        Ends_[Row - 1] = Body_.size();
        return;
    }
    Body_.replace(begin, oldEnd - begin, Text);
    const ptrdiff_t shift = static_cast<ptrdiff_t>(Text.size()) - static_cast<ptrdiff_t>(oldEnd - begin);
    for (size_t i = Row - 1; i < Ends_.size(); ++i)
        Ends_[i] = static_cast<size_t>(static_cast<ptrdiff_t>(Ends_[i]) + shift);
}

void TLogTable::Append(std::string_view Text)
{
    Body_.append(Text);
    Ends_.push_back(Body_.size());
}

void TLogTable::SetCurrentRow(size_t Row)
{
    CurrentRow_ = Row < RowCount() ? Row : RowCount() - 1;
}

} // namespace kvt
