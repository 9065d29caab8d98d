// The transfer log: one line per step, appended to a text file that is closed after each line.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace kvt::serial {

// Data bytes as "$0A, $FF"; empty for no data.
std::string FormatLogData(const void* Data, int32_t Length);

// The local date and time at the start of a line: the locale's short date, a space, its time.
std::string FormatLogTime(std::time_t Time);

// One whole line: time text, one space, message, data bytes, CR LF.
std::string FormatLogLine(const std::string& TimeText, const std::string& Message, const void* Data,
    int32_t Length);

// Appends one line to FileName (created when missing). Returns 0 or the errno that stopped it.
int AppendLogLine(const std::string& FileName, const std::string& Message, const void* Data = nullptr,
    int32_t Length = 0);

} // namespace kvt::serial
