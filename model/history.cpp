#include "model/history.h"

#include "platform/append_file.h"
#include "platform/sha256.h"
#include "platform/sysfile.h"
#include "platform/text_file.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"
#include "signal/config_rules.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <nlohmann/json.hpp>

namespace kvt {

namespace {

using Json = nlohmann::ordered_json;

// A register is small; this is thousands of sessions.
constexpr std::size_t RegisterLimit = 64u << 20;

constexpr int TDeviceSettings::*CalibrationFields[8] = {
    &TDeviceSettings::CalIn0mA,  &TDeviceSettings::CalIn20mA,  &TDeviceSettings::CalIn0V,  &TDeviceSettings::CalIn10V,
    &TDeviceSettings::CalOut0mA, &TDeviceSettings::CalOut20mA, &TDeviceSettings::CalOut0V, &TDeviceSettings::CalOut10V};

int ModelNumber(std::string_view Name)
{
    if (Name == "KVT27")
        return ModelKVT27;
    if (Name == "KVT27L")
        return ModelKVT27L;
    int v = 0;
    for (const char c : Name) {
        if (c < '0' || c > '9' || v > 255)
            return -1;
        v = v * 10 + (c - '0');
    }
    return Name.empty() || v > 255 ? -1 : v;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long Y, unsigned M, unsigned D)
{
    Y -= M <= 2;
    const long long era = (Y >= 0 ? Y : Y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(Y - era * 400);
    const unsigned doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

std::optional<std::chrono::system_clock::time_point> ParseUtc(const std::string& Text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char z = 0;
    if (std::sscanf(Text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 || z != 'Z')
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    const long long secs = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400LL + h * 3600 + mi * 60 + s;
    return std::chrono::system_clock::time_point(std::chrono::seconds(secs));
}

Json WordsJson(const TDeviceSettings& S)
{
    Json w = Json::object();
    w["ConfigType"] = S.ConfigType;
    for (const TSettingsWordRow& row : SettingsWords)
        w[row.Name] = S.*(row.Field);
    return w;
}

// The words of a register line into a record of this converter; false when one is missing.
bool WordsFrom(const Json& J, const TFingerprint& F, TDeviceSettings& S)
{
    if (!J.is_object())
        return false;
    S.DeviceModel = F.DeviceModel;
    S.FirmwareVersion = F.FirmwareVersion;
    auto take = [&](const char* Name, int& Field) {
        const auto it = J.find(Name);
        if (it == J.end() || !it->is_number_integer())
            return false;
        Field = it->get<int>();
        return true;
    };
    if (!take("ConfigType", S.ConfigType))
        return false;
    for (const TSettingsWordRow& row : SettingsWords)
        if (!take(row.Name, S.*(row.Field)))
            return false;
    return true;
}

std::string Text(const Json& J, const char* Key)
{
    const auto it = J.find(Key);
    return it != J.end() && it->is_string() ? it->get<std::string>() : std::string();
}

Json LabelsJson(const THistoryLabels& L)
{
    return {{"tag", L.Tag}, {"place", L.Place}, {"note", L.Note}};
}

THistoryLabels LabelsFrom(const Json& J)
{
    return {Text(J, "tag"), Text(J, "place"), Text(J, "note")};
}

std::string JsonLine(const Json& J)
{
    return J.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace

TFingerprint TFingerprint::Of(const TDeviceSettings& Settings)
{
    TFingerprint f;
    f.DeviceModel = Settings.DeviceModel;
    f.FirmwareVersion = Settings.FirmwareVersion;
    for (size_t i = 0; i < 8; ++i)
        f.Calibration[i] = static_cast<uint16_t>(Settings.*CalibrationFields[i]);
    return f;
}

std::string TFingerprint::Text() const
{
    std::string model = DeviceModel == ModelKVT27 ? "KVT27" : DeviceModel == ModelKVT27L ? "KVT27L" : std::to_string(DeviceModel);
    std::string t = model + "-" + std::to_string(static_cast<uint32_t>(FirmwareVersion)) + "-";
    char hex[8];
    for (const uint16_t w : Calibration) {
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(w));
        t += hex;
    }
    return t;
}

std::optional<TFingerprint> TFingerprint::Parse(std::string_view Text)
{
    const size_t a = Text.find('-');
    const size_t b = a == std::string_view::npos ? a : Text.find('-', a + 1);
    if (b == std::string_view::npos || Text.size() - b - 1 != 32)
        return std::nullopt;
    TFingerprint f;
    f.DeviceModel = ModelNumber(Text.substr(0, a));
    const std::string_view firmware = Text.substr(a + 1, b - a - 1);
    if (f.DeviceModel < 0 || firmware.empty() || firmware.size() > 10)
        return std::nullopt;
    unsigned long long fw = 0;
    for (const char c : firmware) {
        if (c < '0' || c > '9')
            return std::nullopt;
        fw = fw * 10 + static_cast<unsigned>(c - '0');
    }
    if (fw > 0xFFFFFFFFULL)
        return std::nullopt;
    f.FirmwareVersion = static_cast<int32_t>(static_cast<uint32_t>(fw));
    for (size_t i = 0; i < 8; ++i) {
        unsigned v = 0;
        for (const char c : Text.substr(b + 1 + 4 * i, 4)) {
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (d < 0)
                return std::nullopt;
            v = v * 16 + static_cast<unsigned>(d);
        }
        f.Calibration[i] = static_cast<uint16_t>(v);
    }
    return f;
}

std::vector<TWordChange> WordChanges(const TDeviceSettings& Before, const TDeviceSettings& After)
{
    std::vector<TWordChange> changes;
    for (const TSettingsWordRow& row : SettingsWords)
        if (WritableWord(row.Address) && Before.*(row.Field) != After.*(row.Field))
            changes.push_back({row.Name, Before.*(row.Field), After.*(row.Field)});
    return changes;
}

TDeviceSettings SettingsAfter(const TDeviceSettings& Before, const TApplyReport& Report)
{
    TDeviceSettings s = Before;
    for (const TAppliedWord& w : Report.Words) {
        const TSettingsWordRow* row = FindSettingsWord(w.Plan.Address);
        if (row == nullptr)
            continue;
        if (w.Action == TAppliedWord::TAction::Written)
            s.*(row->Field) = w.Plan.New;
        else if (w.Action == TAppliedWord::TAction::Unknown)
            s.*(row->Field) = w.Holds ? *w.Holds : w.Plan.Old;
        else
            s.*(row->Field) = w.Plan.Old; // as read before the plan: newer than a copy may be
    }
    return s;
}

THistoryStore::THistoryStore(std::string Folder) : FFolder(Folder.empty() ? DefaultFolder() : std::move(Folder)) {}

std::string THistoryStore::DefaultFolder()
{
    if (const char* own = std::getenv("KVT27_HISTORY_DIR"); own != nullptr && own[0] != '\0')
        return own;
    const std::string data = UserDataFolder();
    if (data.empty())
        return {};
#ifdef _WIN32
    return data + "\\kvt27-config\\history";
#else
    return data + "/kvt27-config/history";
#endif
}

std::string THistoryStore::FileOf(const TFingerprint& Fingerprint) const
{
#ifdef _WIN32
    const char* sep = "\\";
#else
    const char* sep = "/";
#endif
    return FFolder + sep + Fingerprint.Text() + ".jsonl";
}

THistory THistoryStore::Read(const TFingerprint& Fingerprint) const
{
    THistory h;
    h.Fingerprint = Fingerprint;
    h.File = FileOf(Fingerprint);
    std::string text;
    try {
        text = ReadTextFile(h.File, RegisterLimit);
    } catch (const EFileError& e) {
        if (e.ErrorCode == ENOENT)
            return h;
#ifdef _WIN32
        if (e.ErrorCode == 2 || e.ErrorCode == 3) // the file or its folder not found
            return h;
#endif
        throw;
    }
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        ++number;
        const size_t end = text.find('\n', start);
        const bool cut = end == std::string::npos;
        const std::string line = text.substr(start, cut ? std::string::npos : end - start);
        start = cut ? text.size() : end + 1;
        if (line.empty())
            continue;
        const Json j = Json::parse(line, nullptr, false);
        const std::string kind = j.is_object() ? Text(j, "kind") : std::string();
        bool ok = kind == "converter" || kind == "labels";
        if (kind == "labels") {
            h.Labels = LabelsFrom(j);
        } else if (kind == "session") {
            THistoryEntry e;
            const std::optional<std::chrono::system_clock::time_point> t = ParseUtc(Text(j, "time"));
            ok = t && j.contains("as_found") && j.contains("as_left") && WordsFrom(j["as_found"], Fingerprint, e.AsFound) &&
                WordsFrom(j["as_left"], Fingerprint, e.AsLeft);
            if (ok) {
                e.Time = *t;
                e.Port = Text(j, "port");
                e.Program = Text(j, "program");
                e.Labels = LabelsFrom(j);
                if (j.contains("written") && j["written"].is_array())
                    for (const Json& w : j["written"])
                        if (w.is_string())
                            e.Written.push_back(w.get<std::string>());
                e.RecordFile = Text(j, "record");
                e.RecordSha256 = Text(j, "record_sha256");
                if (!e.Labels.Empty())
                    h.Labels = e.Labels;
                h.Entries.push_back(std::move(e));
            }
        }
        if (!ok)
            h.Problems.push_back(h.File + ": line " + std::to_string(number) +
                                 (cut ? " is cut off (a write that did not finish); it is left out"
                                      : " is damaged; it is left out"));
    }
    return h;
}

void THistoryStore::AppendLine(const TFingerprint& Fingerprint, const std::string& Line)
{
    if (FFolder.empty())
        throw EFileError(ENOENT, "history", "The system names no folder for the user's data");
    MakeFolders(FFolder);
    const std::string file = FileOf(Fingerprint);
    std::string text;
    try {
        text = ReadTextFile(file, RegisterLimit);
    } catch (const EFileError& e) {
        if (e.ErrorCode != ENOENT && e.ErrorCode != 2)
            throw;
    }
    std::string data;
    if (text.empty()) {
        Json head{{"kind", "converter"}, {"fingerprint", Fingerprint.Text()}, {"model", ModelName(Fingerprint.DeviceModel)},
                  {"device_model", Fingerprint.DeviceModel}, {"firmware", Fingerprint.FirmwareVersion},
                  {"firmware_text", FirmwareVersionText(Fingerprint.FirmwareVersion)}};
        Json cal = Json::object();
        const uint8_t addresses[8] = {WordCalIn0mA, WordCalIn20mA, WordCalIn0V, WordCalIn10V,
                                      WordCalOut0mA, WordCalOut20mA, WordCalOut0V, WordCalOut10V};
        for (size_t i = 0; i < 8; ++i)
            cal[WordName(addresses[i])] = Fingerprint.Calibration[i];
        head["calibration"] = cal;
        data = JsonLine(head);
    } else if (text.back() != '\n') {
        data = "\n"; // the cut-off line stays as it was, told when the register is read
    }
    data += Line;
    AppendToFile(file, data);
}

void THistoryStore::Append(const TFingerprint& Fingerprint, const THistoryEntry& Entry)
{
    Json j{{"kind", "session"}, {"time", UtcTimeText(Entry.Time)}, {"port", Entry.Port}, {"program", Entry.Program}};
    j.update(LabelsJson(Entry.Labels));
    j["as_found"] = WordsJson(Entry.AsFound);
    j["as_left"] = WordsJson(Entry.AsLeft);
    j["written"] = Entry.Written;
    j["record"] = Entry.RecordFile;
    j["record_sha256"] = Entry.RecordSha256;
    AppendLine(Fingerprint, JsonLine(j));
}

void THistoryStore::SetLabels(const TFingerprint& Fingerprint, const THistoryLabels& Labels)
{
    Json j{{"kind", "labels"}, {"time", UtcTimeText(std::chrono::system_clock::now())}};
    j.update(LabelsJson(Labels));
    AppendLine(Fingerprint, JsonLine(j));
}

std::optional<TLastSeen> LastSeen(const THistory& History, const TDeviceSettings& Now)
{
    if (History.Entries.empty())
        return std::nullopt;
    const THistoryEntry& last = History.Entries.back();
    return TLastSeen{last.Time, last.Labels.Tag.empty() ? History.Labels.Tag : last.Labels.Tag, WordChanges(last.AsLeft, Now)};
}

std::string LocalDateText(std::chrono::system_clock::time_point Time)
{
    std::tm local{};
    char text[16] = "";
    if (platform::LocalTime(std::chrono::system_clock::to_time_t(Time), local))
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

std::string UtcTimeText(std::chrono::system_clock::time_point Time)
{
    const long long secs = std::chrono::duration_cast<std::chrono::seconds>(Time.time_since_epoch()).count();
    long long days = secs / 86400;
    long long rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01.
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", y, m, d, rest / 3600, rest / 60 % 60, rest % 60);
    return text;
}

std::string ChangesText(const std::vector<TWordChange>& Changes)
{
    std::string t;
    for (const TWordChange& c : Changes)
        t += (t.empty() ? "" : ", ") + c.Name + " " + std::to_string(c.Was) + " -> " + std::to_string(c.Now);
    return t;
}

std::string LastSeenText(const TLastSeen& Seen)
{
    std::string t = "Last seen " + LocalDateText(Seen.Time);
    if (!Seen.Tag.empty())
        t += " as " + Seen.Tag;
    return t + (Seen.Changes.empty() ? "; nothing changed since" : "; since then " + ChangesText(Seen.Changes));
}

void AppendJobSession(THistoryStore& Store, const TJobSession& Session, const std::string& Program)
{
    const TFingerprint f = TFingerprint::Of(Session.AsFound);
    THistoryEntry e;
    e.Time = Session.Time;
    e.Port = Session.Port;
    e.Program = Program;
    e.Labels = Store.Read(f).Labels;
    e.Labels.Tag = Session.Tag;
    e.AsFound = Session.AsFound;
    e.AsLeft = Session.AsLeft;
    e.Written = Session.Written;
    if (!Session.RecordFile.empty()) {
        e.RecordFile = Session.RecordFile;
        e.RecordSha256 = Sha256OfFile(Session.RecordFile);
    }
    Store.Append(f, e);
}

THistoryEntry SessionEntry(TConverterModel& Model, const TDeviceSettings& AsLeft, std::string Program)
{
    THistoryEntry e;
    e.Time = std::chrono::system_clock::now();
    e.Port = Model.ConnectedPort();
    e.Program = std::move(Program);
    e.AsFound = Model.WorkRecord() ? Model.WorkRecord()->AsFound : Model.Settings();
    e.AsLeft = AsLeft;
    return e;
}

} // namespace kvt
