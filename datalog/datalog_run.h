// One recording of the measured value: the period it was taken at, the reading at its start (shown
// and used to place the chart pen, never stored or counted), and the samples in the order taken,
// as the log table holds them for the CSV export.
#pragma once

#include "datalog/log_table.h"
#include "datalog/sample_text.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace kvt {

class TDatalogRun {
public:
    // A new recording: the period text goes into row 0 and the previous samples are dropped.
    void Start(std::string_view PeriodText);
    // The reading taken at the start.
    void SetFirst(const TSample& Sample) { FFirst = Sample; }
    const std::optional<TSample>& First() const { return FFirst; }
    // One sample, as the text shown for it.
    void Add(std::string_view Text) { FTable.Append(Text); }

    std::size_t Count() const { return FTable.SampleCount(); }
    const TLogTable& Table() const { return FTable; }

private:
    TLogTable FTable;
    std::optional<TSample> FFirst;
};

} // namespace kvt
