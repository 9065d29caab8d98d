#include "model/bench_job.h"

#include "platform/safe_file.h"
#include "platform/text_file.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"
#include "serial/comport.h"
#include "signal/config_error.h"
#include "signal/config_rules.h"

#include <algorithm>

namespace kvt {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::string NowText()
{
    return UtcText(std::chrono::system_clock::now());
}

} // namespace

TBenchJob::TBenchJob(TConverterModel& Model, TJob Job, TBenchJobOptions Options)
    : FModel(Model), FJob(std::move(Job)), FOptions(std::move(Options))
{
    FSummary.Job = FJob.File;
    FSummary.Port = FOptions.Port;
    for (std::size_t k = 0; k < FJob.Rows.size(); ++k) {
        TRowReport r;
        r.Row = static_cast<int>(k) + 1;
        r.Line = FJob.Rows[k].Line;
        r.Tag = FJob.Rows[k].Tag;
        FSummary.Rows.push_back(r);
    }
}

std::optional<TOpenFailure> TBenchJob::Start()
{
    const int rows = static_cast<int>(FJob.Rows.size());
    if (FOptions.FromRow < 1 || FOptions.FromRow > rows)
        throw EConfigError(TConfigFault::BadValue, "--from " + std::to_string(FOptions.FromRow) + ": the job has rows 1.." +
                                                       std::to_string(rows));
    const std::string json = SummaryPath(FOptions.RecordsDir, FJob.File, "json");
    for (const std::string& file : {SummaryPath(FOptions.RecordsDir, FJob.File, "csv"), json}) {
        try {
            CheckSafeTarget(file);
        } catch (const EFileError& e) {
            throw EConfigError(TConfigFault::CannotWrite, "cannot write " + file + ": " + e.Reason);
        }
    }
    // A job resumed at a row keeps what its earlier run says of the rows before.
    if (FOptions.FromRow > 1) {
        std::vector<TRowReport> earlier;
        try {
            earlier = EarlierRows(ReadTextFile(json), FJob.File);
        } catch (const EFileError&) {
        }
        for (int k = 0; k < FOptions.FromRow - 1; ++k) {
            TRowReport& r = FSummary.Rows[static_cast<std::size_t>(k)];
            const auto it = std::find_if(earlier.begin(), earlier.end(),
                                         [&](const TRowReport& E) { return E.Row == r.Row && E.Tag == r.Tag; });
            if (it != earlier.end())
                r = *it;
            else
                r.Reason = "before --from " + std::to_string(FOptions.FromRow);
        }
        FRow = static_cast<std::size_t>(FOptions.FromRow - 1);
    }
    if (std::optional<TOpenFailure> failed = FModel.Open(FOptions.Port))
        return failed;
    FSummary.Port = FModel.Device();
    FSummary.Started = NowText();
    WriteSummary();
    return std::nullopt;
}

int TBenchJob::Step(const std::function<bool()>& ShouldStop)
{
    try {
        switch (FStep) {
        case TJobStep::Connect:
            return Poll();
        case TJobStep::Work:
            return Work(ShouldStop);
        case TJobStep::Unplug:
            return Unplugged();
        case TJobStep::Finished:
            return -1;
        }
    } catch (const EComError& e) {
        // A failure while a request was leaving: the line itself went.
        if (FStep == TJobStep::Work) {
            TRowReport& r = FSummary.Rows[FRow];
            r.Result = TRowResult::Failed;
            r.Reason = std::string("the line to the converter failed: ") + e.what();
            r.Finished = NowText();
            RowChanged();
            Finish(static_cast<int>(FRow) + 1, r.Reason);
            return -1;
        }
        FModel.Close();
        FWaitNote = e.what();
        return FOptions.PollMs;
    }
    return -1;
}

int TBenchJob::Poll()
{
    if (!FModel.Port().Active()) {
        if (const std::optional<TOpenFailure> failed = FModel.Open(FOptions.Port)) {
            FWaitNote = "cannot open port " + FModel.Device() + (failed->Reason.empty() ? "" : ": " + failed->Reason);
            // One line: the reason's hint follows it after a blank line.
            std::replace(FWaitNote.begin(), FWaitNote.end(), '\n', ' ');
            while (FWaitNote.find("  ") != std::string::npos)
                FWaitNote.erase(FWaitNote.find("  "), 1);
            return FOptions.PollMs;
        }
    }
    const TResult<TIdentity> id = FModel.Identify();
    if (!id.Ok()) {
        FWaitNote = id.Outcome.Fault == TFault::NotConverter ? "the device that answers is " + id.Outcome.Describe() : std::string();
        // A converter plugged in next may come on a new device under the same name.
        FModel.Close();
        return FOptions.PollMs;
    }
    FWaitNote.clear();
    FStep = TJobStep::Work;
    return 0;
}

int TBenchJob::Unplugged()
{
    if (FModel.Port().Active() && FModel.Identify().Ok())
        return FOptions.PollMs;
    FModel.Close();
    FUnplugTag.clear();
    FStep = TJobStep::Connect;
    return FOptions.PollMs;
}

void TBenchJob::FinishRow(TRowReport& R, SteadyClock::time_point Began)
{
    R.Finished = NowText();
    R.Seconds = std::chrono::duration<double>(SteadyClock::now() - Began).count();
}

int TBenchJob::Work(const std::function<bool()>& ShouldStop)
{
    const TJobRow& row = FJob.Rows[FRow];
    TRowReport& r = FSummary.Rows[FRow];
    const auto began = SteadyClock::now();
    const TResult<TLoadedWords> loaded = FModel.Load();
    if (!loaded.Ok()) {
        // Gone before anything was written: it is waited for again.
        FModel.Close();
        FStep = TJobStep::Connect;
        FWaitNote = loaded.Outcome.Describe();
        return FOptions.PollMs;
    }
    const TDeviceSettings found = FModel.Settings();
    const std::string fingerprint = ConverterFingerprint(found);
    if (!FLastFingerprint.empty() && fingerprint == FLastFingerprint) {
        // Not unplugged after all (an identification lost on the line): never the next row's.
        FStep = TJobStep::Unplug;
        return FOptions.PollMs;
    }

    TRowReport fresh;
    fresh.Row = r.Row;
    fresh.Line = r.Line;
    fresh.Tag = r.Tag;
    r = fresh;
    r.Model = ModelName(found.DeviceModel);
    r.Firmware = FirmwareVersionText(found.FirmwareVersion);
    r.Fingerprint = fingerprint;
    r.Started = NowText();
    RowChanged();

    TWorkRecord record;
    record.Port = FModel.Device();
    record.AsFound = found;
    record.AsLeft = found;
    record.TemperatureC = FModel.TemperatureC();
    record.Tag = r.Tag;
    auto finishConverter = [&](TRowResult Result) {
        r.Result = Result;
        record.Time = std::chrono::system_clock::now();
        const bool recorded = WriteRecord(row, r, record);
        FinishRow(r, began);
        FLastFingerprint = fingerprint;
        if (OnSession)
            OnSession({row.Tag, record.Port, record.Time, record.AsFound, record.AsLeft, r.Written, r.Record, Result});
        RowChanged();
        if (!recorded) {
            Finish(static_cast<int>(FRow) + 1, r.Reason);
            return -1;
        }
        WriteSummary();
        FUnplugTag = row.Tag;
        if (++FRow >= FJob.Rows.size()) {
            Finish(0, {});
            return -1;
        }
        FStep = TJobStep::Unplug;
        return FOptions.PollMs;
    };
    auto lost = [&](const std::string& Reason) {
        r.Result = TRowResult::Failed;
        r.Reason = Reason;
        FinishRow(r, began);
        RowChanged();
        Finish(static_cast<int>(FRow) + 1, Reason);
        return -1;
    };

    std::vector<TPlannedWrite> plan;
    try {
        plan = PlanApply(row.Profile, found);
    } catch (const EConfigError& e) {
        r.Reason = e.what();
        return finishConverter(TRowResult::Skipped);
    }
    const TApplyReport report = FModel.ApplyPlan(plan, false, ShouldStop);
    r.Written = report.Names(TAppliedWord::TAction::Written);
    r.NotWritten = report.Names(TAppliedWord::TAction::NotWritten);
    for (const TAppliedWord& w : report.Words)
        if (w.Action == TAppliedWord::TAction::Unknown)
            r.Unknown.push_back(WordName(w.Plan.Address));
    if (!report.Failure.Ok()) {
        std::string reason = "the converter failed while it was written: " + report.Failure.Describe();
        for (const TAppliedWord& w : report.Words)
            if (w.Action == TAppliedWord::TAction::Unknown)
                reason += "; " + WordName(w.Plan.Address) + " " + std::to_string(w.Plan.New) + " may have been stored (" +
                          (w.Holds ? "it holds " + std::to_string(*w.Holds) : std::string("it could not be read back")) + ")";
        return lost(reason);
    }
    if (report.Stopped) {
        r.Result = TRowResult::Stopped;
        r.Reason = "stopped before all words were written";
        FinishRow(r, began);
        RowChanged();
        Finish(static_cast<int>(FRow) + 1, r.Reason);
        return -1;
    }

    const TResult<TDeviceSettings> back = FModel.ReadWritableWords();
    if (!back.Ok())
        return lost("every word was written, but reading them back failed: " + back.Outcome.Describe());
    record.AsLeft = back.Value;
    std::string differs;
    for (const TAppliedWord& w : report.Words) {
        const int expected = w.Plan.Write ? w.Plan.New : w.Plan.Old;
        const int reads = WordValue(back.Value, w.Plan.Address);
        if (reads != expected)
            differs += (differs.empty() ? "" : "; ") + WordName(w.Plan.Address) + " reads " + std::to_string(reads) +
                       ", expected " + std::to_string(expected);
    }
    if (!differs.empty()) {
        r.Reason = differs;
        return finishConverter(TRowResult::Mismatch);
    }
    if (report.PowerCycleNeeded)
        r.Reason = MsgPowerCycleText;
    return finishConverter(TRowResult::Done);
}

bool TBenchJob::WriteRecord(const TJobRow& Row, TRowReport& R, const TWorkRecord& Record)
{
    const std::string file = RecordPath(FOptions.RecordsDir, Row.RecordName, "json");
    std::string failure;
    try {
        WriteFileSafely(file, RecordJson(Record).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
        R.Record = file;
    } catch (const EFileError& e) {
        failure = "cannot write the record " + file + ": " + e.Reason;
    }
    if (failure.empty() && OnRecord)
        failure = OnRecord(Row, Record);
    if (failure.empty())
        return true;
    R.Reason += (R.Reason.empty() ? "" : "; ") + failure;
    return false;
}

void TBenchJob::Stop(const std::string& Reason)
{
    if (FStep == TJobStep::Finished)
        return;
    std::string where;
    if (FStep == TJobStep::Unplug && !FUnplugTag.empty())
        where = " while waiting for the converter for " + FUnplugTag + " to be unplugged";
    else if (FRow < FJob.Rows.size())
        where = " while waiting for the converter for " + FJob.Rows[FRow].Tag;
    FModel.Close();
    Finish(static_cast<int>(FRow) + 1, Reason + where);
}

void TBenchJob::Finish(int StoppedAtRow, const std::string& Reason)
{
    FSummary.StoppedAtRow = StoppedAtRow;
    FSummary.StopReason = Reason;
    FSummary.Finished = NowText();
    FStep = TJobStep::Finished;
    if (StoppedAtRow != 0)
        FModel.Close();
    WriteSummary();
}

void TBenchJob::WriteSummary()
{
    FSummaryError.clear();
    for (const auto& [ext, text] : {std::pair{"csv", SummaryCsv(FSummary)},
                                    std::pair{"json", SummaryJson(FSummary).dump(2, ' ', false,
                                                                                 nlohmann::ordered_json::error_handler_t::replace) + "\n"}}) {
        const std::string file = SummaryPath(FOptions.RecordsDir, FJob.File, ext);
        try {
            WriteFileSafely(file, text);
        } catch (const EFileError& e) {
            FSummaryError = "cannot write the summary " + file + ": " + e.Reason;
        }
    }
}

} // namespace kvt
