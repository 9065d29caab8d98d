// A workshop job: converter after converter on one port, each given a configuration and a tag.
// The job file, the record of each converter and the summary, without a port.
//
// The job file is CSV (UTF-8, "," or ";" between fields, fields in double quotes where they hold
// the separator), a header first. Each row names a tag and either a configuration file (a path
// relative to the job file's folder) or the configuration's columns, with the keys and units of
// the configuration file:
//
//   tag,config
//   FT-101,pump.kvt
//   tag,input,input-begin,input-end,output,output-begin,output-end,filter,reaction
//   TT-7,current,4 mA,20 mA,voltage,0 V,10 V,0,0
//
// A header may carry both; each row then fills either the config column or all the others.
// Empty lines and lines starting with "#" are skipped.
#pragma once

#include "protocol/device_settings.h"
#include "signal/config_file.h"
#include "signal/work_record.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kvt {

struct TJobRow {
    int Line = 0;           // in the job file, counted from 1
    std::string Tag;
    std::string ConfigFile; // as resolved against the job file's folder; empty for columns
    TProfile Profile;
    std::string RecordName; // the record's file name without its extension: the tag, made safe
};

struct TJob {
    std::string File;
    std::vector<TJobRow> Rows;
};

// Throws EConfigError(BadValue, "FILE:LINE: ...") for anything wrong in the job or in a
// configuration it names (CannotRead when the job file cannot be read): the whole job is checked
// before a converter is touched. BaseDir is the folder relative configuration files are in.
TJob ParseJob(const std::string& Text, const std::string& Origin, const std::string& BaseDir);
TJob LoadJob(const std::string& File);

// How the program knows a converter again: model, firmware and its factory calibration words, as
// its history names it (TFingerprint::Text: "KVT27-1200160822-" and the eight words in hex).
std::string ConverterFingerprint(const TDeviceSettings& Settings);

// The work record as JSON, the shape "kvt27ctl record" prints. Port is the device name.
nlohmann::ordered_json RecordJson(const TWorkRecord& Record);

// UTC as "2026-12-08T14:03:00Z".
std::string UtcText(std::chrono::system_clock::time_point Time);

// What became of one row.
enum class TRowResult {
    NotRun,   // not reached (stopped before, or before --from)
    Done,     // applied and read back as planned
    Skipped,  // the converter cannot take the configuration: nothing written
    Mismatch, // written, but a word reads back otherwise
    Failed,   // the line was lost (a converter pulled out): see the word lists
    Stopped,  // asked to stop while this converter was worked on
};
std::string RowResultName(TRowResult Result); // "not run", "done", ...
std::optional<TRowResult> RowResultByName(const std::string& Name);

struct TRowReport {
    int Row = 0; // 1-based position in the job
    int Line = 0;
    std::string Tag;
    TRowResult Result = TRowResult::NotRun;
    std::string Reason;
    std::string Model, Firmware, Fingerprint; // empty until a converter answered
    std::vector<std::string> Written, Unknown, NotWritten;
    std::string Record; // the JSON record's file, when one was written
    std::string Started, Finished; // UTC texts
    double Seconds = 0;
};

struct TJobSummary {
    std::string Job;
    std::string Port;
    std::string Started, Finished;
    std::vector<TRowReport> Rows;
    // Where the job ended early: the row to resume at (--from), and why. 0: it did not.
    int StoppedAtRow = 0;
    std::string StopReason;
    bool Complete() const { return StoppedAtRow == 0; }
};

nlohmann::ordered_json SummaryJson(const TJobSummary& Summary);
// One line a row: row,tag,model,firmware,fingerprint,result,reason,written,unknown,not_written,
// record,started,finished,seconds; word lists separated by spaces.
std::string SummaryCsv(const TJobSummary& Summary);
// The rows of an earlier summary (its JSON), for a job resumed at a row; nothing when it does not
// read as one or was made from another job file.
std::vector<TRowReport> EarlierRows(const std::string& SummaryJsonText, const std::string& Job);

// The summary's files for a job in a records folder: FOLDER/JOBNAME-summary.csv and .json.
std::string SummaryPath(const std::string& RecordsDir, const std::string& JobFile, const std::string& Extension);
// FOLDER/NAME.Extension.
std::string RecordPath(const std::string& RecordsDir, const std::string& Name, const std::string& Extension);

} // namespace kvt
