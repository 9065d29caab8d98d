// A workshop job run on one port, converter after converter: for each row it waits for a
// converter to answer, reads it as found, applies the row's configuration by the rules of a
// configuration file's apply, reads it back and compares, writes the converter's record, and waits
// for it to be unplugged before the next row. The front ends drive it one step at a time (a loop
// with sleeps in kvt27ctl, a timer in the window), so a wait never blocks them.
#pragma once

#include "model/bench_job_file.h"
#include "model/converter_model.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kvt {

// What the job waits for now.
enum class TJobStep {
    Connect, // a converter for the current row
    Unplug,  // the converter just done (or one already done) to go
    Work,    // nothing: the converter that answered is worked on at the next step
    Finished,
};

// One converter's session as the job leaves it: what a device history keeps.
struct TJobSession {
    std::string Tag;
    std::string Port;
    std::chrono::system_clock::time_point Time;
    TDeviceSettings AsFound;
    TDeviceSettings AsLeft;
    std::vector<std::string> Written; // the words written, in order
    std::string RecordFile;           // the JSON record
    TRowResult Result = TRowResult::Done;
};

struct TBenchJobOptions {
    std::string Port;       // as the user names it ("ttyUSB0", a path)
    std::string RecordsDir; // an existing folder: the records and the summary
    int FromRow = 1;        // the first row to run; the rows before keep their earlier summary
    int PollMs = 1000;      // between two identifications while waiting
};

class TBenchJob {
public:
    TBenchJob(TConverterModel& Model, TJob Job, TBenchJobOptions Options);

    // Before the first frame: FromRow must name a row, and the summary must be writable in the
    // records folder (EConfigError BadValue / CannotWrite otherwise). Opens the port and says
    // why when it cannot (the job cannot start without its port).
    std::optional<TOpenFailure> Start();

    // One step: one identification while waiting, or the whole work on a converter. Returns the
    // milliseconds to wait before the next step, or -1 when the job has finished. ShouldStop is
    // asked between the words of an apply (a stop then ends the job at this row).
    int Step(const std::function<bool()>& ShouldStop = {});
    // Ends the job between two steps; Reason says why ("stopped by Ctrl-C").
    void Stop(const std::string& Reason);

    TJobStep Next() const { return FStep; }
    // The row the job is at (0-based; Rows().size() when past the last).
    std::size_t CurrentRow() const { return FRow; }
    const TJob& Job() const { return FJob; }
    const TJobSummary& Summary() const { return FSummary; }
    // Why the last wait went on: the port that would not open, what answered.
    const std::string& WaitNote() const { return FWaitNote; }
    // The summary files could not be written (the last attempt's reason), or empty.
    const std::string& SummaryError() const { return FSummaryError; }
    // The tag of the converter still to be unplugged (Next() == Unplug).
    const std::string& UnplugTag() const { return FUnplugTag; }

    // --- What the job tells ------------------------------------------------------------------
    // A row's report changed: started, finished (the row's index, 0-based).
    std::function<void(std::size_t Row)> OnRow;
    // The record of a converter has been written as JSON; the window adds its PDF. A non-empty
    // return says why that failed, and ends the job at this row as a failed record does.
    std::function<std::string(const TJobRow& Row, const TWorkRecord& Record)> OnRecord;
    // A converter is finished with (done, mismatch or skipped): the place where a device history
    // takes its session.
    std::function<void(const TJobSession& Session)> OnSession;

private:
    int Poll();
    int Work(const std::function<bool()>& ShouldStop);
    int Unplugged();
    void Finish(int StoppedAtRow, const std::string& Reason);
    void FinishRow(TRowReport& R, std::chrono::steady_clock::time_point Began);
    void WriteSummary();
    bool WriteRecord(const TJobRow& Row, TRowReport& R, const TWorkRecord& Record);
    void RowChanged() const
    {
        if (OnRow)
            OnRow(FRow);
    }

    TConverterModel& FModel;
    TJob FJob;
    TBenchJobOptions FOptions;
    TJobSummary FSummary;
    TJobStep FStep = TJobStep::Connect;
    std::size_t FRow = 0;
    std::string FWaitNote;
    std::string FSummaryError;
    std::string FUnplugTag;
    std::string FLastFingerprint; // the converter done last: it must go before the next row
};

} // namespace kvt
