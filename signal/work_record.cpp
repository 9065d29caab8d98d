#include "signal/work_record.h"

#include "protocol/word_names.h"
#include "signal/config_error.h"

namespace kvt {

namespace {

// The order a configuration is written in (the input range before its kind, as the numeric entry).
constexpr uint8_t WriteOrder[] = {WordInZero, WordInEnd, WordInputMode, WordOutZero,
                                  WordOutEnd, WordOutputMode, WordFilterType, WordLimitReaction};

} // namespace

std::optional<TProfile> ProfileOf(const TDeviceSettings& Settings)
{
    try {
        return ProfileFromSettings(Settings);
    } catch (const EConfigError&) {
        return std::nullopt;
    }
}

std::vector<TRecordRow> SettingsRows(const TDeviceSettings& AsFound, const TDeviceSettings& AsLeft)
{
    const std::optional<TProfile> found = ProfileOf(AsFound), left = ProfileOf(AsLeft);
    std::vector<TRecordRow> rows;
    auto add = [&](const char* Key, std::string Unit, auto Text) {
        TRecordRow r;
        r.Key = Key;
        r.Unit = std::move(Unit);
        r.AsFound = found ? Text(*found) : std::string();
        r.AsLeft = left ? Text(*left) : std::string();
        rows.push_back(std::move(r));
    };
    const TProfile& any = found ? *found : left ? *left : TProfile{};
    add("input", "", [](const TProfile& P) { return InputKindName(P.InputMode); });
    add("input-begin", InputUnit(any.InputMode), [](const TProfile& P) { return P.InBegin; });
    add("input-end", InputUnit(any.InputMode), [](const TProfile& P) { return P.InEnd; });
    add("output", "", [](const TProfile& P) { return OutputKindName(P.OutputMode); });
    add("output-begin", OutputUnit(any.OutputMode), [](const TProfile& P) { return P.OutBegin; });
    add("output-end", OutputUnit(any.OutputMode), [](const TProfile& P) { return P.OutEnd; });
    add("filter", "", [](const TProfile& P) { return std::to_string(P.FilterType); });
    add("reaction", "", [](const TProfile& P) { return std::to_string(P.LimitReaction); });
    // A range in another unit than the other side's carries its own.
    if (found && left) {
        if (found->InputMode != left->InputMode)
            for (int i : {1, 2}) {
                rows[static_cast<size_t>(i)].AsFound += " " + InputUnit(found->InputMode);
                rows[static_cast<size_t>(i)].AsLeft += " " + InputUnit(left->InputMode);
                rows[static_cast<size_t>(i)].Unit.clear();
            }
        if (found->OutputMode != left->OutputMode)
            for (int i : {4, 5}) {
                rows[static_cast<size_t>(i)].AsFound += " " + OutputUnit(found->OutputMode);
                rows[static_cast<size_t>(i)].AsLeft += " " + OutputUnit(left->OutputMode);
                rows[static_cast<size_t>(i)].Unit.clear();
            }
    }
    return rows;
}

bool SameConverter(const TDeviceSettings& A, const TDeviceSettings& B)
{
    return A.DeviceModel == B.DeviceModel && A.FirmwareVersion == B.FirmwareVersion && A.CalIn0mA == B.CalIn0mA
        && A.CalIn20mA == B.CalIn20mA && A.CalIn0V == B.CalIn0V && A.CalIn10V == B.CalIn10V
        && A.CalOut0mA == B.CalOut0mA && A.CalOut20mA == B.CalOut20mA && A.CalOut0V == B.CalOut0V
        && A.CalOut10V == B.CalOut10V;
}

std::vector<TPlannedWrite> PlanRestore(const TDeviceSettings& AsFound, const TDeviceSettings& Now)
{
    std::vector<TPlannedWrite> plan;
    for (const uint8_t address : WriteOrder) {
        const int old = WordValue(Now, address);
        const int found = WordValue(AsFound, address);
        plan.push_back({address, old, found, old != found, old == found ? "unchanged" : ""});
    }
    return plan;
}

} // namespace kvt
