// The log of a recording: the invisible one-column string table StrGrdDta.
// Row 0 holds the period text, rows 1..n the samples as displayed.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

// The sampling period items: the texts are the same in both languages.
struct TPeriodItem {
    std::string_view Text;
    int IntervalMs;
};
inline constexpr std::array<TPeriodItem, 8> DatalogPeriods = {{
    {"1 sec", 1000},
    {"2 sec", 2000},
    {"5 sec", 5000},
    {"10 sec", 10000},
    {"20 sec", 20000},
    {"1 min", 60000},
    {"2 min", 120000},
    {"5 min", 300000},
}};

// Texts are UTF-8. The samples live in one contiguous buffer with an end offset per row, so
// an append is amortised O(1) and a million rows take a few bytes each; row 0 is kept apart
// because it is rewritten at every Start while the old samples are still there.
class TLogTable {
public:
    TLogTable() = default;

    // Never below 1.
    size_t RowCount() const { return FEnds.size() + 1; }
    size_t SampleCount() const { return FEnds.size(); }

    // Setting 0 leaves one row (row 0 keeps its text); growing adds empty rows; shrinking
    // drops the rows beyond the new count.
    void SetRowCount(size_t Count);

    // The row's text; empty for a row beyond the table.
    std::string_view Cell(size_t Row) const;

    // Writes one row's text. A row beyond the table grows it to Row + 1 rows, so nothing is
    // lost. Rewriting a middle sample row moves the rows after it (the program never does).
    void SetCell(size_t Row, std::string_view Text);

    // One tick: the text goes into the row whose index equals the row count, then the row
    // count rises by one.
    void Append(std::string_view Text);

    // The grid's current row, kept within the rows.
    size_t CurrentRow() const { return FCurrentRow; }
    void SetCurrentRow(size_t Row);

    // Bytes held by the sample rows (text plus offsets), for the benchmark figures.
    size_t MemoryBytes() const { return FBody.capacity() + FEnds.capacity() * sizeof(size_t); }

private:
    size_t Start(size_t Row) const { return Row <= 1 ? 0 : FEnds[Row - 2]; }

    std::string FHead;
    std::string FBody;
    std::vector<size_t> FEnds; // FEnds[i]: end of row i + 1 in FBody
    size_t FCurrentRow = 0;
};

} // namespace kvt
