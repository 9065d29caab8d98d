#include "tools/ctl/ctl_doctor.h"

#include "model/diagnosis.h"
#include "tools/ctl/ctl_ports.h"

#include <iomanip>
#include <nlohmann/json.hpp>

namespace kvt::ctl {

namespace {

using Json = nlohmann::ordered_json;

TCheckVerdict ProbeVerdict(const TProbe& P)
{
    switch (P.Verdict) {
    case TProbeVerdict::Converter:
        return TCheckVerdict::Ok;
    case TProbeVerdict::Skipped:
        return TCheckVerdict::Skipped;
    default:
        break;
    }
    return TCheckVerdict::Warning;
}

} // namespace

int RunDoctor(TCtlContext& Context, const std::string& Port, bool AsJson)
{
    TDiagnoseSetup setup;
    setup.Find.System = Context.System;
    if (setup.Find.System.SimRegistryDir.empty())
        setup.Find.System.SimRegistryDir = Context.SimRegistryDir;
    setup.Find.PortSetup = Context.PortSetup;

    struct TLine {
        std::string Name;
        TCheckVerdict Verdict;
        std::string Detail;
        Json Extra;
    };
    std::vector<TLine> lines;
    auto add = [&](const TCheck& c) {
        Json extra;
        if (!c.Group.empty())
            extra["group"] = c.Group;
        if (!c.Holders.empty()) {
            extra["holders"] = Json::array();
            for (const TPortHolder& h : c.Holders)
                extra["holders"].push_back({{"pid", h.Pid}, {"name", h.Name}});
        }
        if (!c.Pids.empty())
            extra["pids"] = c.Pids;
        lines.push_back({CheckName(c.Kind), c.Verdict, c.Detail, extra});
    };
    if (!Port.empty()) {
        for (const TCheck& c : DiagnosePort(Port, setup))
            add(c);
    } else {
        for (const TCheck& c : DiagnoseSystem(setup.Find.System))
            add(c);
        const std::vector<TProbe> probes = FindConverters(setup.Find);
        if (probes.empty())
            lines.push_back({"ports", TCheckVerdict::Problem, "no serial ports found", {}});
        for (const TProbe& p : probes)
            lines.push_back({"port " + p.Port.Name, ProbeVerdict(p), ProbeText(p), PortJson(p.Port)});
    }

    bool problem = false;
    for (const TLine& l : lines)
        problem = problem || l.Verdict == TCheckVerdict::Problem;
    if (AsJson) {
        Json j;
        j["port"] = Port.empty() ? Json(nullptr) : Json(Port);
        j["checks"] = Json::array();
        for (const TLine& l : lines) {
            Json c{{"check", l.Name}, {"verdict", VerdictName(l.Verdict)}, {"detail", l.Detail}};
            if (!l.Extra.is_null())
                c.update(l.Extra);
            j["checks"].push_back(c);
        }
        j["problem"] = problem;
        Context.Out << j.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
    } else {
        for (const TLine& l : lines)
            Context.Out << std::left << std::setw(13) << l.Name << ' ' << std::setw(9) << VerdictName(l.Verdict) << l.Detail
                        << "\n";
    }
    return problem ? ExitFailure : ExitOk;
}

} // namespace kvt::ctl
