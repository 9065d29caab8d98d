#include "tools/ctl/ctl_find.h"

#include "model/finder.h"
#include "protocol/identity.h"
#include "tools/ctl/ctl_ports.h"

#include <nlohmann/json.hpp>

namespace kvt::ctl {

namespace {

using Json = nlohmann::ordered_json;

std::vector<TProbe> Search(TCtlContext& Context)
{
    TFindSetup setup;
    setup.System = Context.System;
    if (setup.System.SimRegistryDir.empty())
        setup.System.SimRegistryDir = Context.SimRegistryDir;
    setup.PortSetup = Context.PortSetup;
    return FindConverters(setup);
}

const char* VerdictName(TProbeVerdict V)
{
    switch (V) {
    case TProbeVerdict::Converter:
        return "converter";
    case TProbeVerdict::Other:
        return "other";
    case TProbeVerdict::Silent:
        return "silent";
    case TProbeVerdict::NotOpened:
        return "not-opened";
    case TProbeVerdict::Skipped:
        break;
    }
    return "skipped";
}

// "ttyUSB0 — FTDI FT232R USB UART (A10K3X): KVT27, firmware 1.200/160822"
std::string Line(const TProbe& P)
{
    return PortDisplayText(P.Port) + ": " + ProbeText(P) + "\n";
}

std::string Outcomes(const std::vector<TProbe>& Probes)
{
    if (Probes.empty())
        return "  no serial ports found\n";
    std::string text;
    for (const TProbe& p : Probes)
        text += "  " + Line(p);
    return text;
}

} // namespace

int RunFind(TCtlContext& Context, bool AsJson)
{
    const std::vector<TProbe> probes = Search(Context);
    const std::vector<TProbe> found = ConvertersFound(probes);
    if (AsJson) {
        Json j;
        j["found"] = Json::array();
        for (const TProbe& p : found) {
            Json f;
            f["port"] = p.Port.Name;
            f["model"] = ModelName(p.Identity.DeviceModel.value_or(0));
            f["device_model"] = p.Identity.DeviceModel.value_or(0);
            f["firmware"] = p.Identity.FirmwareVersion.value_or(0);
            f["firmware_text"] = FirmwareVersionText(p.Identity.FirmwareVersion.value_or(0));
            j["found"].push_back(f);
        }
        j["ports"] = Json::array();
        for (const TProbe& p : probes) {
            Json o = PortJson(p.Port);
            o["outcome"] = VerdictName(p.Verdict);
            o["text"] = ProbeText(p);
            o["ms"] = p.Ms;
            j["ports"].push_back(o);
        }
        Context.Out << j.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
    } else {
        for (const TProbe& p : found)
            Context.Out << Line(p);
    }
    if (found.empty()) {
        Context.Err << "kvt27ctl: no converter answers on any port\n" << Outcomes(probes);
        return ExitNoAnswer;
    }
    return ExitOk;
}

std::string AutoPort(TCtlContext& Context)
{
    const std::vector<TProbe> probes = Search(Context);
    const std::vector<TProbe> found = ConvertersFound(probes);
    if (found.empty())
        throw ECtlError(ExitNoAnswer, "--port auto: no converter answers on any port\n" + Outcomes(probes));
    if (found.size() > 1)
        throw ECtlError(ExitUsage, "--port auto: " + std::to_string(found.size()) +
                                       " converters answer; name one with --port:\n" + Outcomes(found));
    return found.front().Port.Name;
}

} // namespace kvt::ctl
