#include "model/bench_job_file.h"
#include "model/history.h"

#include "platform/key_value.h"
#include "platform/text_file.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"
#include "signal/config_error.h"
#include "signal/config_rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <map>

namespace kvt {

namespace {

using Json = nlohmann::ordered_json;

// The configuration file's keys, in its order: the columns that stand for one.
const char* const ProfileKeys[] = {"input", "input-begin", "input-end", "output", "output-begin", "output-end",
                                   "filter", "reaction"};

[[noreturn]] void Fail(const std::string& Origin, int Line, const std::string& Message)
{
    throw EConfigError(TConfigFault::BadValue, Origin + ":" + std::to_string(Line) + ": " + Message);
}

std::string Lower(std::string S)
{
    std::transform(S.begin(), S.end(), S.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return S;
}

// One line's fields; quotes as in RFC 4180 ("" for a quote inside quotes), blanks around a field
// dropped.
std::vector<std::string> SplitFields(const std::string& Line, char Separator, const std::string& Origin, int Number)
{
    std::vector<std::string> fields;
    std::string field;
    size_t i = 0;
    for (;;) {
        while (i < Line.size() && (Line[i] == ' ' || Line[i] == '\t'))
            ++i;
        field.clear();
        if (i < Line.size() && Line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= Line.size())
                    Fail(Origin, Number, "a quoted field does not end on its line");
                if (Line[i] == '"') {
                    if (i + 1 < Line.size() && Line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += Line[i++];
            }
            while (i < Line.size() && (Line[i] == ' ' || Line[i] == '\t'))
                ++i;
            if (i < Line.size() && Line[i] != Separator)
                Fail(Origin, Number, "text after a quoted field: " + MessageQuote(Line.substr(i)));
        } else {
            while (i < Line.size() && Line[i] != Separator)
                field += Line[i++];
            field = platform::Trim(field);
        }
        fields.push_back(field);
        if (i >= Line.size())
            break;
        ++i; // the separator
    }
    return fields;
}

bool HasControl(const std::string& Text)
{
    return std::any_of(Text.begin(), Text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

// A tag as a file name on every system: letters, digits and ". - _ +" stay, as do the bytes of
// non-ASCII characters; anything else becomes "_", and so does a leading dot.
std::string SafeName(const std::string& Tag)
{
    std::string s;
    for (const char ch : Tag) {
        const auto c = static_cast<unsigned char>(ch);
        s += (c >= 0x80 || std::isalnum(c) || c == '-' || c == '_' || c == '+' || c == '.') ? ch : '_';
    }
    if (!s.empty() && s[0] == '.')
        s[0] = '_';
    if (!s.empty() && s.back() == '.')
        s.back() = '_';
    // Names Windows keeps for devices.
    static const char* const Reserved[] = {"con", "prn", "aux", "nul", "com1", "com2", "com3", "com4", "com5", "com6",
                                           "com7", "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6",
                                           "lpt7", "lpt8", "lpt9"};
    const std::string stem = Lower(s.substr(0, s.find('.')));
    if (std::find(std::begin(Reserved), std::end(Reserved), stem) != std::end(Reserved))
        s = "_" + s;
    return s;
}

bool AbsolutePath(const std::string& P)
{
    if (!P.empty() && (P[0] == '/' || P[0] == '\\'))
        return true;
    return P.size() > 2 && std::isalpha(static_cast<unsigned char>(P[0])) && P[1] == ':' && (P[2] == '/' || P[2] == '\\');
}

std::string Folder(const std::string& File)
{
    const size_t slash = File.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : File.substr(0, slash);
}

std::string Join(const std::string& Folder, const std::string& Name)
{
    if (Folder.empty())
        return Name;
    const char last = Folder.back();
    return Folder + (last == '/' || last == '\\' ? "" : "/") + Name;
}

double ParseNumber(const std::string& Text)
{
    double v = 0;
    std::from_chars(Text.data(), Text.data() + Text.size(), v);
    return v;
}

std::string Words(const std::vector<std::string>& Names)
{
    std::string s;
    for (const std::string& n : Names)
        s += (s.empty() ? "" : " ") + n;
    return s;
}

std::string CsvField(const std::string& Text)
{
    if (Text.find_first_of(",\"\r\n") == std::string::npos)
        return Text;
    std::string q = "\"";
    for (const char c : Text)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

} // namespace

TJob ParseJob(const std::string& Text, const std::string& Origin, const std::string& BaseDir)
{
    TJob job;
    job.File = Origin;
    std::vector<std::string> columns;
    char separator = ',';
    int tagColumn = -1, configColumn = -1;
    int profileColumn[std::size(ProfileKeys)];
    std::fill(std::begin(profileColumn), std::end(profileColumn), -1);
    std::map<std::string, int> records; // record name, lower case -> line

    size_t start = 0;
    int number = 0;
    while (start < Text.size()) {
        size_t end = Text.find('\n', start);
        if (end == std::string::npos)
            end = Text.size();
        std::string line = Text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string trimmed = platform::Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        if (columns.empty()) {
            // The header: ";" when it has that and no ",", as spreadsheets with a decimal comma write.
            separator = line.find(';') != std::string::npos && line.find(',') == std::string::npos ? ';' : ',';
            for (std::string name : SplitFields(line, separator, Origin, number)) {
                name = Lower(name);
                if (std::find(columns.begin(), columns.end(), name) != columns.end())
                    Fail(Origin, number, "column " + MessageQuote(name) + " is given twice");
                const int index = static_cast<int>(columns.size());
                if (name == "tag")
                    tagColumn = index;
                else if (name == "config")
                    configColumn = index;
                else {
                    const auto key = std::find(std::begin(ProfileKeys), std::end(ProfileKeys), name);
                    if (key == std::end(ProfileKeys))
                        Fail(Origin, number, "unknown column " + MessageQuote(name) +
                                                 " (tag, config, or the configuration file's keys: input, input-begin, "
                                                 "input-end, output, output-begin, output-end, filter, reaction)");
                    profileColumn[key - std::begin(ProfileKeys)] = index;
                }
                columns.push_back(name);
            }
            if (tagColumn < 0)
                Fail(Origin, number, "the header has no tag column");
            std::string missing;
            size_t missingCount = 0;
            for (size_t k = 0; k < std::size(ProfileKeys); ++k)
                if (profileColumn[k] < 0) {
                    missing += (missing.empty() ? "" : ", ") + std::string(ProfileKeys[k]);
                    ++missingCount;
                }
            if (configColumn < 0 && missingCount > 0)
                Fail(Origin, number, "the header needs a config column or every configuration column (missing: " + missing + ")");
            if (missingCount > 0 && missingCount < std::size(ProfileKeys))
                Fail(Origin, number, "the configuration's columns are incomplete (missing: " + missing + ")");
            continue;
        }

        const std::vector<std::string> fields = SplitFields(line, separator, Origin, number);
        if (fields.size() != columns.size())
            Fail(Origin, number, "expected " + std::to_string(columns.size()) + " fields as in the header, got " +
                                     std::to_string(fields.size()));
        for (size_t k = 0; k < fields.size(); ++k)
            if (HasControl(fields[k]))
                Fail(Origin, number, columns[k] + ": a control character in " + MessageQuote(fields[k]));
        TJobRow row;
        row.Line = number;
        row.Tag = fields[static_cast<size_t>(tagColumn)];
        if (row.Tag.empty())
            Fail(Origin, number, "the tag is empty");
        if (row.Tag.size() > 100)
            Fail(Origin, number, "the tag " + MessageQuote(row.Tag) + " is longer than 100 bytes");
        row.RecordName = SafeName(row.Tag);
        const auto [taken, fresh] = records.emplace(Lower(row.RecordName), number);
        if (!fresh)
            Fail(Origin, number, "the tag " + MessageQuote(row.Tag) + " gives the same record file as the tag on line " +
                                     std::to_string(taken->second));

        const std::string config = configColumn >= 0 ? fields[static_cast<size_t>(configColumn)] : std::string();
        bool anyColumn = false, allColumns = profileColumn[0] >= 0;
        for (const int c : profileColumn) {
            if (c < 0)
                continue;
            const bool filled = !fields[static_cast<size_t>(c)].empty();
            anyColumn = anyColumn || filled;
            allColumns = allColumns && filled;
        }
        if (!config.empty()) {
            if (anyColumn)
                Fail(Origin, number, "give either a config file or the configuration's columns, not both");
            row.ConfigFile = AbsolutePath(config) ? config : Join(BaseDir, config);
            try {
                row.Profile = LoadProfile(row.ConfigFile);
            } catch (const EConfigError& e) {
                Fail(Origin, number, e.what());
            }
        } else {
            if (!allColumns)
                Fail(Origin, number, configColumn >= 0 ? "no config file and not every configuration column filled"
                                                       : "every configuration column needs a value");
            std::string text;
            for (size_t k = 0; k < std::size(ProfileKeys); ++k) {
                const std::string& value = fields[static_cast<size_t>(profileColumn[k])];
                // The value goes through the configuration file's own parser: nothing in it may end it early.
                if (value.find('#') != std::string::npos)
                    Fail(Origin, number, std::string(ProfileKeys[k]) + ": \"#\" in " + MessageQuote(value));
                text += std::string(ProfileKeys[k]) + " = " + value + "\n";
            }
            try {
                row.Profile = ParseProfile(text, "");
            } catch (const EConfigError& e) {
                Fail(Origin, number, e.what());
            }
        }
        job.Rows.push_back(row);
    }
    if (columns.empty())
        throw EConfigError(TConfigFault::BadValue, Origin + ": the job file is empty (a header, then a row per converter)");
    if (job.Rows.empty())
        throw EConfigError(TConfigFault::BadValue, Origin + ": the job has no rows");
    return job;
}

TJob LoadJob(const std::string& File)
{
    std::string text;
    try {
        text = ReadTextFile(File);
    } catch (const EFileError& e) {
        throw EConfigError(TConfigFault::CannotRead, "cannot read " + File + ": " + e.Reason);
    }
    return ParseJob(text, File, Folder(File));
}

std::string ConverterFingerprint(const TDeviceSettings& S)
{
    // The history's own: the summary's fingerprint finds the converter's history.
    return TFingerprint::Of(S).Text();
}

std::string UtcText(std::chrono::system_clock::time_point T)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(T);
    const std::tm* utc = std::gmtime(&t);
    char text[32] = "";
    if (utc != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    return text;
}

Json RecordJson(const TWorkRecord& R)
{
    const TDeviceSettings& d = R.AsLeft;
    Json out{{"time", UtcText(R.Time)}, {"port", R.Port}};
    out["model"] = ModelName(d.DeviceModel);
    out["device_model"] = d.DeviceModel;
    out["firmware"] = d.FirmwareVersion;
    out["firmware_text"] = FirmwareVersionText(d.FirmwareVersion);
    out["temperature_c"] = R.TemperatureC ? Json(*R.TemperatureC) : Json(nullptr);
    out["config_type"] = d.ConfigType;
    out["config_text"] = ConfigTypeDescription(d.ConfigType);
    Json settings = Json::array();
    for (const TRecordRow& row : SettingsRows(R.AsFound, R.AsLeft)) {
        auto value = [&](const std::string& Text) -> Json {
            if (Text.empty())
                return nullptr;
            if (row.Key == "input" || row.Key == "output")
                return Text;
            if (row.Key == "filter" || row.Key == "reaction")
                return std::stoi(Text);
            if (!row.Unit.empty())
                return ParseNumber(Text);
            return Text; // a range in a unit of its own: "4.000 mA"
        };
        Json item{{"setting", row.Key}};
        if (!row.Unit.empty())
            item["unit"] = row.Unit;
        item["as_found"] = value(row.AsFound);
        item["as_left"] = value(row.AsLeft);
        item["changed"] = row.Changed();
        settings.push_back(item);
    }
    out["settings"] = settings;
    auto words = [](const TDeviceSettings& D) {
        Json w = Json::object();
        for (const TSettingsWordRow& row : SettingsWords)
            w[row.Name] = D.*(row.Field);
        return w;
    };
    out["words"] = {{"as_found", words(R.AsFound)}, {"as_left", words(R.AsLeft)}};
    out["measurements"] = Json::array();
    out["tag"] = R.Tag;
    return out;
}

std::string RowResultName(TRowResult Result)
{
    switch (Result) {
    case TRowResult::NotRun:
        return "not run";
    case TRowResult::Done:
        return "done";
    case TRowResult::Skipped:
        return "skipped";
    case TRowResult::Mismatch:
        return "mismatch";
    case TRowResult::Failed:
        return "failed";
    case TRowResult::Stopped:
        return "stopped";
    }
    return {};
}

std::optional<TRowResult> RowResultByName(const std::string& Name)
{
    for (const TRowResult r : {TRowResult::NotRun, TRowResult::Done, TRowResult::Skipped, TRowResult::Mismatch,
                               TRowResult::Failed, TRowResult::Stopped})
        if (RowResultName(r) == Name)
            return r;
    return std::nullopt;
}

Json SummaryJson(const TJobSummary& S)
{
    Json rows = Json::array();
    for (const TRowReport& r : S.Rows) {
        auto text = [](const std::string& T) { return T.empty() ? Json(nullptr) : Json(T); };
        rows.push_back({{"row", r.Row}, {"line", r.Line}, {"tag", r.Tag}, {"model", text(r.Model)},
                        {"firmware", text(r.Firmware)}, {"fingerprint", text(r.Fingerprint)},
                        {"result", RowResultName(r.Result)}, {"reason", r.Reason}, {"written", r.Written},
                        {"unknown", r.Unknown}, {"not_written", r.NotWritten}, {"record", text(r.Record)},
                        {"started", text(r.Started)}, {"finished", text(r.Finished)}, {"seconds", r.Seconds}});
    }
    return {{"job", S.Job},
            {"port", S.Port},
            {"started", S.Started},
            {"finished", S.Finished},
            {"complete", S.Complete()},
            {"stopped_at_row", S.StoppedAtRow == 0 ? Json(nullptr) : Json(S.StoppedAtRow)},
            {"stop_reason", S.StopReason},
            {"rows", rows}};
}

std::string SummaryCsv(const TJobSummary& S)
{
    std::string t = "row,tag,model,firmware,fingerprint,result,reason,written,unknown,not_written,record,started,finished,seconds\r\n";
    for (const TRowReport& r : S.Rows) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", r.Seconds);
        for (const std::string& f : {std::to_string(r.Row), r.Tag, r.Model, r.Firmware, r.Fingerprint, RowResultName(r.Result),
                                     r.Reason, Words(r.Written), Words(r.Unknown), Words(r.NotWritten), r.Record,
                                     r.Started, r.Finished})
            t += CsvField(f) + ",";
        t += std::string(seconds) + "\r\n";
    }
    return t;
}

std::vector<TRowReport> EarlierRows(const std::string& Text, const std::string& Job)
{
    std::vector<TRowReport> rows;
    const Json j = Json::parse(Text, nullptr, false);
    if (!j.is_object() || !j.contains("rows") || !j["rows"].is_array() || j.value("job", "") != Job)
        return {};
    auto text = [](const Json& O, const char* Key) {
        const auto it = O.find(Key);
        return it != O.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    auto list = [](const Json& O, const char* Key) {
        std::vector<std::string> l;
        const auto it = O.find(Key);
        if (it != O.end() && it->is_array())
            for (const Json& n : *it)
                if (n.is_string())
                    l.push_back(n.get<std::string>());
        return l;
    };
    for (const Json& o : j["rows"]) {
        if (!o.is_object() || !o.contains("row") || !o["row"].is_number_integer())
            return {};
        TRowReport r;
        r.Row = o["row"].get<int>();
        r.Line = o.value("line", 0);
        r.Tag = text(o, "tag");
        r.Result = RowResultByName(text(o, "result")).value_or(TRowResult::NotRun);
        r.Reason = text(o, "reason");
        r.Model = text(o, "model");
        r.Firmware = text(o, "firmware");
        r.Fingerprint = text(o, "fingerprint");
        r.Written = list(o, "written");
        r.Unknown = list(o, "unknown");
        r.NotWritten = list(o, "not_written");
        r.Record = text(o, "record");
        r.Started = text(o, "started");
        r.Finished = text(o, "finished");
        r.Seconds = o.value("seconds", 0.0);
        rows.push_back(r);
    }
    return rows;
}

std::string SummaryPath(const std::string& RecordsDir, const std::string& JobFile, const std::string& Extension)
{
    std::string name = JobFile.substr(JobFile.find_last_of("/\\") + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return Join(RecordsDir, SafeName(name) + "-summary." + Extension);
}

std::string RecordPath(const std::string& RecordsDir, const std::string& Name, const std::string& Extension)
{
    return Join(RecordsDir, Name + "." + Extension);
}

} // namespace kvt
