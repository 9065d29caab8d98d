#include "tools/ctl/ctl_job.h"

#include "tools/ctl/ctl_command.h"

#include "model/bench_job.h"
#include "protocol/line_log.h"
#include "platform/text_file.h"
#include "serial/comport.h"
#include "tools/ctl/ctl_status.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace kvt::ctl {

namespace {

std::string List(const std::vector<std::string>& Names)
{
    std::string l;
    for (const std::string& n : Names)
        l += (l.empty() ? "" : " ") + n;
    return l.empty() ? std::string("none") : l;
}

} // namespace

int RunJobCommand(const TJobCommand& C, TCtlContext& Context)
{
    auto stopped = [&] { return Context.Stop != nullptr ? Context.Stop->load() : 0; };
    if (C.Action != "run")
        throw ECtlError(ExitUsage, "job: unknown action " + MessageQuote(C.Action) + " (kvt27ctl job run JOB.csv ...)");
    if (C.Port.empty())
        throw ECtlError(ExitUsage, "no port given (--port NAME; \"kvt27ctl ports\" lists them)");
    if (C.Records.empty())
        throw ECtlError(ExitUsage, "job run needs --records DIR: the folder for the records and the summary");
    int from = 1;
    if (!C.From.empty()) {
        errno = 0;
        char* end = nullptr;
        const long v = std::strtol(C.From.c_str(), &end, 10);
        if (*end != '\0' || errno == ERANGE || v < 1 || v > 1000000 || !std::isdigit(static_cast<unsigned char>(C.From[0])))
            throw ECtlError(ExitUsage, "--from: expected a row number from 1, got " + MessageQuote(C.From));
        from = static_cast<int>(v);
    }
    // The whole job, and every configuration it names, is checked before the port is touched.
    TJob job = LoadJob(C.File);

    TConverterModel model;
    if (Context.PortSetup)
        Context.PortSetup(model.Port());
    if (C.Trace)
        model.Subscribe([&](const TModelChange& Change) {
            if (Change.Kind != TModelChange::TKind::Exchange)
                return;
            for (const std::string& line : TraceLines(*Change.Exchange))
                Context.Err << line << "\n";
            Context.Err.flush();
        });
    TBenchJob run(model, std::move(job), {C.Port, C.Records, from, Context.JobPollMs});
    const std::size_t rows = run.Job().Rows.size();
    run.OnRow = [&](std::size_t Row) {
        const TRowReport& r = run.Summary().Rows[Row];
        if (C.Json || r.Finished.empty())
            return;
        std::string line = std::to_string(r.Row) + "  " + r.Tag + "  " + r.Model + " " + r.Firmware + "  " +
                           RowResultName(r.Result) + "  written: " + List(r.Written);
        if (!r.Unknown.empty())
            line += "  unknown: " + List(r.Unknown);
        if (!r.NotWritten.empty())
            line += "  not written: " + List(r.NotWritten);
        if (!r.Reason.empty())
            line += "  (" + r.Reason + ")";
        if (!r.Record.empty())
            line += "  record: " + r.Record;
        Context.Out << line << "\n";
        Context.Out.flush();
    };
    // Each converter worked on is a session in its history, under the row's tag.
    run.OnSession = [&](const TJobSession& S) { KeepJobHistory(Context, S); };
    if (const std::optional<TOpenFailure> failed = run.Start())
        throw ECtlError(ExitPortOpen, "cannot open port " + model.Device() + ": " + failed->Reason);

    // What the technician is asked to do, told once each time it changes.
    std::string told, toldNote;
    auto tell = [&] {
        std::string ask;
        if (run.Next() == TJobStep::Connect)
            ask = "connect the converter for " + run.Job().Rows[run.CurrentRow()].Tag + " (row " +
                  std::to_string(run.CurrentRow() + 1) + " of " + std::to_string(rows) + ")";
        else if (run.Next() == TJobStep::Unplug)
            ask = "unplug the converter for " + run.UnplugTag();
        if (!ask.empty() && ask != told)
            Context.Err << "kvt27ctl: " << ask << "\n";
        if (!ask.empty())
            told = ask;
        if (!run.WaitNote().empty() && run.WaitNote() != toldNote)
            Context.Err << "kvt27ctl: waiting: " << run.WaitNote() << "\n";
        toldNote = run.WaitNote();
        Context.Err.flush();
    };
    tell();
    for (;;) {
        if (const int signal = stopped()) {
            run.Stop("stopped by " + StopSignalName(signal));
            break;
        }
        const int wait = run.Step([&] { return stopped() != 0; });
        if (wait < 0)
            break;
        tell();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
        while (std::chrono::steady_clock::now() < until && !stopped())
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                until - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
    }

    const TJobSummary& s = run.Summary();
    if (C.Json) {
        Context.Out << SummaryJson(s).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
        Context.Out.flush();
    }
    Context.Err << "kvt27ctl: summary in " << SummaryPath(C.Records, C.File, "csv") << " and "
                << SummaryPath(C.Records, C.File, "json") << "\n";
    int status = ExitOk;
    bool skipped = false, mismatch = false, lineFailed = false;
    for (const TRowReport& r : s.Rows) {
        skipped = skipped || r.Result == TRowResult::Skipped;
        mismatch = mismatch || r.Result == TRowResult::Mismatch;
        lineFailed = lineFailed || (r.Result == TRowResult::Failed && r.Row == s.StoppedAtRow);
    }
    if (!s.Complete()) {
        const TRowReport& at = s.Rows[static_cast<std::size_t>(s.StoppedAtRow - 1)];
        Context.Err << "kvt27ctl: the job stopped at row " << s.StoppedAtRow << " (" << at.Tag << "): " << s.StopReason
                    << "; resume with --from " << s.StoppedAtRow << "\n";
        if (at.Result == TRowResult::Failed || at.Result == TRowResult::Stopped)
            Context.Err << "kvt27ctl: " << at.Tag << ": written: " << List(at.Written)
                        << (at.Unknown.empty() ? "" : "; unknown: " + List(at.Unknown))
                        << "; not written: " << List(at.NotWritten) << "\n";
    }
    if (!run.SummaryError().empty())
        Context.Err << "kvt27ctl: " << run.SummaryError() << "\n";
    if (const int signal = stopped(); signal != 0 && !s.Complete())
        status = 128 + signal;
    else if (lineFailed)
        status = ExitNoAnswer;
    else if (!s.Complete() || mismatch || !run.SummaryError().empty())
        status = ExitFailure;
    else if (skipped)
        status = ExitRefused;
    return status;
}

} // namespace kvt::ctl
