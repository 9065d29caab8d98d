// Each converter's history: a register per converter in the user's data folder, one file each,
// only ever appended to. It holds what the user typed about the converter (a tag, a customer or
// place, a note) and one entry per session that changed or recorded something: when, on which
// port, the settings as found and as left, the words written, and the record file with its
// SHA-256. A converter is known again by its fingerprint: model, firmware and factory calibration.
#pragma once

#include "model/bench_job.h"
#include "model/converter_model.h"
#include "platform/safe_file.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

struct TFingerprint {
    int DeviceModel = 0;
    int32_t FirmwareVersion = 0;
    // CalIn0mA, CalIn20mA, CalIn0V, CalIn10V, CalOut0mA, CalOut20mA, CalOut0V, CalOut10V.
    std::array<uint16_t, 8> Calibration{};

    static TFingerprint Of(const TDeviceSettings& Settings);
    // "KVT27-1200160822-7D00F2307D00EA6000643EE400783E30": the model (or its number when it has no
    // name), the firmware number, the eight calibration words in hex. Also the register's file name.
    std::string Text() const;
    // The text back; nothing for another text.
    static std::optional<TFingerprint> Parse(std::string_view Text);
    bool operator==(const TFingerprint&) const = default;
};

// What the user types about a converter.
struct THistoryLabels {
    std::string Tag;   // the place in the plant, "FT-101"
    std::string Place; // the customer or the site
    std::string Note;
    bool Empty() const { return Tag.empty() && Place.empty() && Note.empty(); }
    bool operator==(const THistoryLabels&) const = default;
};

struct THistoryEntry {
    std::chrono::system_clock::time_point Time;
    std::string Port;
    std::string Program; // what kept it: "kvt27-config", "kvt27ctl apply", ...
    THistoryLabels Labels; // those in force in the session
    TDeviceSettings AsFound;
    TDeviceSettings AsLeft;
    std::vector<std::string> Written; // the names of the words written, in order
    std::string RecordFile;           // the record made in the session, if any
    std::string RecordSha256;
};

struct THistory {
    TFingerprint Fingerprint;
    std::string File;
    THistoryLabels Labels;              // the latest the user typed
    std::vector<THistoryEntry> Entries; // oldest first
    // Lines that could not be read (a damaged line, one cut off by a write that did not finish);
    // every other line is kept. Each says which line and what was wrong, for the user.
    std::vector<std::string> Problems;
    bool Known() const { return !Entries.empty(); }
};

struct TWordChange {
    std::string Name;
    int Was = 0;
    int Now = 0;
    bool operator==(const TWordChange&) const = default;
};

// The writable words that differ from Before to After, in address order.
std::vector<TWordChange> WordChanges(const TDeviceSettings& Before, const TDeviceSettings& After);

// The settings after a plan was carried out on Before: the words written take their new value,
// those that may have been what was read back, the others what was read before the plan (a copy
// may be older). No frame is needed for it.
TDeviceSettings SettingsAfter(const TDeviceSettings& Before, const TApplyReport& Report);

// The register files of one folder.
class THistoryStore {
public:
    // Folder empty: DefaultFolder().
    explicit THistoryStore(std::string Folder = {});

    // $KVT27_HISTORY_DIR when set, else "kvt27-config/history" in the user's data folder; empty
    // when there is none.
    static std::string DefaultFolder();
    const std::string& Folder() const { return FFolder; }
    std::string FileOf(const TFingerprint& Fingerprint) const;

    // The register; an empty one (not Known) when there is none yet. Damaged lines are left out
    // and told in Problems. Throws EFileError when the file is there but cannot be read.
    THistory Read(const TFingerprint& Fingerprint) const;
    // One line more at the end of the register (made, with its folder, when missing). A line cut
    // off by an earlier write stays as it is: the new one starts on a line of its own. Throws
    // EFileError.
    void Append(const TFingerprint& Fingerprint, const THistoryEntry& Entry);
    void SetLabels(const TFingerprint& Fingerprint, const THistoryLabels& Labels);

private:
    void AppendLine(const TFingerprint& Fingerprint, const std::string& Line);
    std::string FFolder;
};

// The converter as its register last saw it, against its settings found now.
struct TLastSeen {
    std::chrono::system_clock::time_point Time;
    std::string Tag;                  // as it was seen last (the latest labels when that had none)
    std::vector<TWordChange> Changes; // that session's as-left -> now
};
// Nothing when the register has no entry.
std::optional<TLastSeen> LastSeen(const THistory& History, const TDeviceSettings& Now);

// "2026-03-04": the local date.
std::string LocalDateText(std::chrono::system_clock::time_point Time);
// "2026-03-04T10:12:00Z"
std::string UtcTimeText(std::chrono::system_clock::time_point Time);
// "InEnd 62000 -> 61990, FilterType 0 -> 1"
std::string ChangesText(const std::vector<TWordChange>& Changes);
// "Last seen 2026-03-04 as FT-101; since then InEnd 62000 -> 61990" (English; the window has the
// Czech too), "...; nothing changed since" when nothing did.
std::string LastSeenText(const TLastSeen& Seen);

// A converter a bench job worked on, appended to its history under the row's tag with the job's
// record and its SHA-256. Throws EFileError.
void AppendJobSession(THistoryStore& Store, const TJobSession& Session, const std::string& Program);

// The entry for a session on a connected model: as found from its work record, AsLeft as given.
THistoryEntry SessionEntry(TConverterModel& Model, const TDeviceSettings& AsLeft, std::string Program);

} // namespace kvt
