#include "model/diagnosis.h"

#include "serial/port_access.h"

#include <cerrno>
#include <cstring>

namespace kvt {

namespace {

TCheck Service(TCheckKind Kind, const TSystemView& View, bool PortGone)
{
    TCheck c{Kind};
    const char* name = Kind == TCheckKind::Brltty ? "brltty" : "ModemManager";
    c.Pids = ProcessesNamed(View.ProcRoot, name);
    if (c.Pids.empty()) {
        c.Detail = std::string(name) + " is not running";
        return c;
    }
    const std::string running = std::string(name) + " is running (pid " + std::to_string(c.Pids.front()) + ")";
    if (Kind == TCheckKind::Brltty) {
        // The braille service claims the usual USB serial chips the moment they are plugged in.
        c.Verdict = PortGone ? TCheckVerdict::Problem : TCheckVerdict::Warning;
        c.Detail = running + ": it takes USB serial adapters (CH340, CP210x, FT232) away" +
            (PortGone ? ", which is likely where this one went; remove the brltty package unless a braille display is used"
                      : "; remove the brltty package unless a braille display is used");
    } else {
        c.Verdict = TCheckVerdict::Warning;
        c.Detail = running + ": it probes a newly plugged port for some seconds, and a converter may not answer meanwhile";
    }
    return c;
}

} // namespace

std::vector<TCheck> DiagnoseSystem(const TSystemView& View)
{
    return {Service(TCheckKind::Brltty, View, false), Service(TCheckKind::ModemManager, View, false)};
}

std::vector<TCheck> DiagnosePort(const std::string& PortText, const TDiagnoseSetup& Setup)
{
    const TSystemView& view = Setup.Find.System;
    TPortInfo port;
    port.Name = PortText;
    const std::string device = ViewDevice(port, view);
    std::vector<TCheck> checks;

    TCheck present{TCheckKind::Present};
    const int accessError = PortAccessError(device);
    const bool gone = accessError == ENOENT || accessError == ENODEV || accessError == ENXIO;
    if (gone) {
        present.Verdict = TCheckVerdict::Problem;
        present.Detail = device + " is not there: the adapter was unplugged, or it has another name now";
    } else {
        present.Detail = device + " is there";
    }
    checks.push_back(present);

    TCheck access{TCheckKind::Access};
    if (gone) {
        access.Verdict = TCheckVerdict::Skipped;
    } else if (accessError == EACCES || accessError == EPERM) {
        access.Verdict = TCheckVerdict::Problem;
        access.Group = PortAccessGroup(device);
        access.Detail = "this user may not use " + device + ": it belongs to the group \"" + access.Group +
            "\"; add yourself with  sudo usermod -aG " + access.Group + " $USER  and log in again";
    } else if (accessError != 0) {
        access.Verdict = TCheckVerdict::Problem;
        access.Detail = std::string("cannot use ") + device + ": " + std::strerror(accessError);
    } else {
        access.Detail = "this user may read and write " + device;
    }
    checks.push_back(access);

    TCheck holders{TCheckKind::Holders};
    holders.Holders = gone ? std::vector<TPortHolder>{} : PortHolders(view.ProcRoot, device);
    if (gone) {
        holders.Verdict = TCheckVerdict::Skipped;
    } else if (!holders.Holders.empty()) {
        holders.Verdict = TCheckVerdict::Problem;
        holders.Detail = "held open by";
        for (std::size_t i = 0; i < holders.Holders.size(); ++i)
            holders.Detail += (i ? ", " : " ") + holders.Holders[i].Name + " (pid " + std::to_string(holders.Holders[i].Pid) + ")";
        holders.Detail += ": close that program";
    } else {
        holders.Detail = "no other program holds it open";
    }
    checks.push_back(holders);

    checks.push_back(Service(TCheckKind::Brltty, view, gone));
    checks.push_back(Service(TCheckKind::ModemManager, view, gone));

    TCheck reply{TCheckKind::Reply};
    bool blocked = false;
    for (const TCheck& c : checks)
        blocked = blocked || c.Verdict == TCheckVerdict::Problem;
    if (!Setup.AskConverter || blocked) {
        reply.Verdict = TCheckVerdict::Skipped;
        reply.Detail = blocked ? "not asked: the port itself does not work" : "not asked";
    } else {
        port.Simulator = PortText.find('/') != std::string::npos;
        reply.Probe = ProbePorts({port}, Setup.Find).front();
        switch (reply.Probe.Verdict) {
        case TProbeVerdict::Converter:
            reply.Detail = ProbeText(reply.Probe);
            break;
        case TProbeVerdict::Silent:
            reply.Verdict = TCheckVerdict::Problem;
            reply.Detail = "no reply within 800 ms: check that the converter is powered, that the cable is in "
                           "the converter's PC socket, and the DIP switches (see the program's help)";
            break;
        default:
            reply.Verdict = TCheckVerdict::Problem;
            reply.Detail = ProbeText(reply.Probe);
            break;
        }
    }
    checks.push_back(reply);
    return checks;
}

const char* CheckName(TCheckKind Kind)
{
    switch (Kind) {
    case TCheckKind::Present:
        return "present";
    case TCheckKind::Access:
        return "access";
    case TCheckKind::Holders:
        return "held";
    case TCheckKind::Brltty:
        return "brltty";
    case TCheckKind::ModemManager:
        return "modemmanager";
    case TCheckKind::Reply:
        break;
    }
    return "reply";
}

const char* VerdictName(TCheckVerdict Verdict)
{
    switch (Verdict) {
    case TCheckVerdict::Ok:
        return "ok";
    case TCheckVerdict::Warning:
        return "warning";
    case TCheckVerdict::Problem:
        return "problem";
    case TCheckVerdict::Skipped:
        break;
    }
    return "skipped";
}

} // namespace kvt
