// Export of the log table as a semicolon CSV file.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "datalog/log_table.h"

namespace kvt {

// A failure to write the export file. what() is the reason: the platform's description of the
// I/O error (strerror), or why the name is refused (a folder, a device, ...), which the window
// shows as it stands.
class ECsvError : public std::runtime_error {
public:
    ECsvError(int ErrorCode, std::string FileName, const std::string& Reason);
    int ErrorCode;        // errno
    std::string FileName; // the file that was being written
};

// The chosen name with ".csv" appended, unless it already ends in ".csv" (any case).
std::string CsvFileName(std::string_view Chosen);

// Appends UTF-8 text as single bytes: code points up to U+00FF as that byte (ASCII as is),
// anything else as '?', and each byte that is not part of a UTF-8 character (platform/utf8.h:
// overlong forms and surrogates are not) as '?'.
void AppendSingleByte(std::string& Out, std::string_view Utf8);

// The whole file: for rows 0 .. count - 1, the row's text, ";", CR LF.
std::string CsvBytes(const TLogTable& Table);

// Writes CsvBytes(Table) as FileName (UTF-8) in large blocks, safely (platform/safe_file.h): FileName is
// replaced only by the whole file, and only when it is a regular file or absent. Throws ECsvError
// on the first failure, with FileName as it was. The table is not changed.
void ExportCsv(const TLogTable& Table, const std::string& FileName);

} // namespace kvt
