// kvt27ctl history, and the entries the other commands keep in a converter's register.
#include "tools/ctl/ctl_command.h"

#include "model/history.h"
#include "platform/sha256.h"
#include "platform/text_file.h"
#include "protocol/word_names.h"

#include <iomanip>
#include <sstream>

#include <nlohmann/json.hpp>

namespace kvt::ctl {

namespace {

using Json = nlohmann::ordered_json;

Json ChangesJson(const std::vector<TWordChange>& Changes)
{
    Json a = Json::array();
    for (const TWordChange& c : Changes)
        a.push_back({{"word", c.Name}, {"was", c.Was}, {"now", c.Now}});
    return a;
}

Json WordsJson(const TDeviceSettings& S)
{
    Json w = Json::object();
    for (const TSettingsWordRow& row : SettingsWords)
        w[row.Name] = S.*(row.Field);
    return w;
}

std::string Joined(const std::vector<std::string>& Names)
{
    std::string t;
    for (const std::string& n : Names)
        t += (t.empty() ? "" : ", ") + n;
    return t;
}

} // namespace

THistoryLabels HistoryLabels(const TCtlContext& Context, TCtlSession& Session)
{
    if (Context.HistoryDir.empty())
        return {};
    try {
        return THistoryStore(Context.HistoryDir).Read(TFingerprint::Of(Session.Settings())).Labels;
    } catch (const EFileError&) {
        return {}; // told when the entry is kept
    }
}

void KeepHistory(const TCtlContext& Context, TCtlSession& Session, const TDeviceSettings& AsLeft,
                 const std::vector<std::string>& Written, const std::string& Program, const TDeviceSettings* AsFound)
{
    // Without a load the calibration words, and so the fingerprint, are not known (write reads none).
    if (Context.HistoryDir.empty() || !Session.Model().Connected())
        return;
    try {
        const THistoryStore store(Context.HistoryDir);
        const TFingerprint f = TFingerprint::Of(Session.Settings());
        THistoryEntry e = SessionEntry(Session.Model(), AsLeft, Program);
        e.Port = Session.Device();
        if (AsFound != nullptr)
            e.AsFound = *AsFound;
        e.Labels = store.Read(f).Labels;
        e.Written = Written;
        THistoryStore(Context.HistoryDir).Append(f, e);
    } catch (const EFileError& e) {
        Context.Err << "kvt27ctl: warning: this session could not be kept in the converter's history: " << e.what() << "\n";
    }
}

void KeepJobHistory(const TCtlContext& Context, const TJobSession& Session)
{
    if (Context.HistoryDir.empty())
        return;
    try {
        THistoryStore store(Context.HistoryDir);
        AppendJobSession(store, Session, "kvt27ctl job");
    } catch (const EFileError& e) {
        Context.Err << "kvt27ctl: warning: the converter for " << Session.Tag
                    << " could not be kept in its history: " << e.what() << "\n";
    }
}

int HistoryCommand(const TCommandEnv& Env)
{
    const bool byPort = Env.Values.count("--fingerprint") == 0;
    if (!byPort && Env.Given("--port"))
        throw ECtlError(ExitUsage, "history takes --port or --fingerprint, not both");
    std::optional<TFingerprint> fingerprint;
    if (!byPort) {
        fingerprint = TFingerprint::Parse(Env.Values.at("--fingerprint"));
        if (!fingerprint)
            throw ECtlError(ExitUsage, "--fingerprint: " + MessageQuote(Env.Values.at("--fingerprint"), 80) +
                                           " is not a converter's fingerprint (see kvt27ctl history --help)");
    }
    if (Env.Context.HistoryDir.empty())
        throw ECtlError(ExitFailure, "the system names no folder for the user's data: there is no history");
    THistoryLabels labels;
    const bool label = Env.Values.count("--tag") || Env.Values.count("--place") || Env.Values.count("--note");
    TCtlSession* session = nullptr;
    if (byPort) {
        session = &Env.Connect(true);
        fingerprint = TFingerprint::Of(session->Settings());
    }
    THistoryStore store(Env.Context.HistoryDir);
    THistory h;
    try {
        h = store.Read(*fingerprint);
        if (label) {
            labels = h.Labels;
            auto set = [&](const char* Option, std::string& Field) {
                if (Env.Values.count(Option))
                    Field = Env.Values.at(Option) == "-" ? std::string() : Env.Values.at(Option);
            };
            set("--tag", labels.Tag);
            set("--place", labels.Place);
            set("--note", labels.Note);
            store.SetLabels(*fingerprint, labels);
            h = store.Read(*fingerprint);
        }
    } catch (const EFileError& e) {
        throw ECtlError(ExitFailure, std::string("the converter's history: ") + e.what());
    }
    for (const std::string& p : h.Problems)
        Env.Context.Err << "kvt27ctl: warning: " << p << "\n";
    const std::optional<TLastSeen> seen = session != nullptr ? LastSeen(h, session->Settings()) : std::nullopt;

    if (Env.Json) {
        Json j{{"fingerprint", fingerprint->Text()}, {"file", h.File},
               {"labels", {{"tag", h.Labels.Tag}, {"place", h.Labels.Place}, {"note", h.Labels.Note}}}};
        j["last_seen"] = seen ? Json{{"time", UtcTimeText(seen->Time)}, {"tag", seen->Tag}, {"changes", ChangesJson(seen->Changes)}}
                              : Json(nullptr);
        Json entries = Json::array();
        for (const THistoryEntry& e : h.Entries)
            entries.push_back({{"time", UtcTimeText(e.Time)}, {"port", e.Port}, {"program", e.Program},
                               {"tag", e.Labels.Tag}, {"place", e.Labels.Place}, {"note", e.Labels.Note},
                               {"written", e.Written}, {"changes", ChangesJson(WordChanges(e.AsFound, e.AsLeft))},
                               {"as_found", WordsJson(e.AsFound)}, {"as_left", WordsJson(e.AsLeft)},
                               {"record", e.RecordFile}, {"record_sha256", e.RecordSha256}});
        j["entries"] = entries;
        j["problems"] = h.Problems;
        Env.Print(j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
        return ExitOk;
    }
    std::ostringstream out;
    auto line = [&](const std::string& Key, const std::string& Value) {
        out << std::left << std::setw(15) << Key << Value << "\n";
    };
    line("converter", fingerprint->Text());
    line("file", h.File);
    line("tag", h.Labels.Tag);
    line("place", h.Labels.Place);
    line("note", h.Labels.Note);
    if (seen)
        line("last seen", LastSeenText(*seen));
    out << "\n";
    if (h.Entries.empty())
        out << "no session in the history yet\n";
    for (const THistoryEntry& e : h.Entries) {
        out << UtcTimeText(e.Time) << "  " << e.Port << "  " << e.Program << (e.Labels.Tag.empty() ? "" : "  " + e.Labels.Tag) << "\n";
        const std::vector<TWordChange> changes = WordChanges(e.AsFound, e.AsLeft);
        out << "    written: " << (e.Written.empty() ? "nothing" : Joined(e.Written)) << "\n";
        out << "    as found -> as left: " << (changes.empty() ? "no change" : ChangesText(changes)) << "\n";
        if (!e.RecordFile.empty())
            out << "    record: " << e.RecordFile << " (SHA-256 " << e.RecordSha256 << ")\n";
    }
    Env.Print(out.str());
    return ExitOk;
}

} // namespace kvt::ctl
