#include "model/finder.h"

#include "platform/simregistry.h"
#include "protocol/identity.h"
#include "serial/comport.h"
#include "serial/port_access.h"
#include "serial/portlist.h"

#include <chrono>
#include <thread>

namespace kvt {

namespace {

// Why a port is not asked at all: a probe on the console would write into it, one on a held port
// would steal the other program's replies, and an absent UART only wastes the wait.
void JudgeCandidate(TProbe& P, const std::set<std::string>& Consoles, const TSystemView& View)
{
    const std::string device = ViewDevice(P.Port, View);
    const std::string tty = device.substr(device.rfind('/') + 1);
    if (!P.Port.Simulator && Consoles.count(tty)) {
        P.Skip = TProbeSkip::Console;
    } else if (!(P.Holders = PortHolders(View.ProcRoot, device)).empty()) {
        P.Skip = TProbeSkip::Held;
    } else if (!P.Port.Simulator && (View.UartCheck ? View.UartCheck(device) : UartAbsent(device))) {
        P.Skip = TProbeSkip::UartAbsent;
    }
    if (P.Skip != TProbeSkip::None)
        P.Verdict = TProbeVerdict::Skipped;
}

void Ask(TProbe& P, const TFindSetup& Setup)
{
    const auto start = std::chrono::steady_clock::now();
    try {
        TConverterModel model;
        if (Setup.PortSetup)
            Setup.PortSetup(model.Port());
        if (const std::optional<TOpenFailure> failed = model.Open(ViewDevice(P.Port, Setup.System))) {
            P.Verdict = TProbeVerdict::NotOpened;
            P.ErrorCode = failed->ErrorCode;
            P.Detail = failed->Reason;
        } else {
            const TResult<TIdentity> r = model.Probe();
            P.Identity = r.Value;
            if (r.Ok())
                P.Verdict = TProbeVerdict::Converter;
            else if (r.Outcome.Fault == TFault::NoReply || r.Outcome.Fault == TFault::LineFailed)
                P.Verdict = TProbeVerdict::Silent;
            else
                P.Verdict = TProbeVerdict::Other;
            if (!r.Ok())
                P.Detail = r.Outcome.Describe();
            model.Close();
        }
    } catch (const std::exception& e) {
        P.Verdict = TProbeVerdict::Silent;
        P.Detail = std::string("the line failed: ") + e.what();
    } catch (...) {
        P.Verdict = TProbeVerdict::Silent;
        P.Detail = "the line failed";
    }
    P.Ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

} // namespace

std::string ViewDevice(const TPortInfo& Port, const TSystemView& View)
{
    if (View.DevRoot != "/dev" && !Port.Simulator && Port.Name.find_first_of("/\\") == std::string::npos)
        return View.DevRoot + "/" + Port.Name;
    return PortDeviceName(Port.Name);
}

std::vector<TPortInfo> ViewPorts(const TSystemView& View)
{
    return ProgramPortsUnder(View.SysRoot, View.DevRoot,
                             View.SimRegistryDir.empty() ? SimPortRegistryDir() : View.SimRegistryDir);
}

std::vector<TProbe> FindConverters(const TFindSetup& Setup)
{
    return ProbePorts(ViewPorts(Setup.System), Setup);
}

std::vector<TProbe> ProbePorts(const std::vector<TPortInfo>& Ports, const TFindSetup& Setup)
{
    std::vector<TProbe> probes(Ports.size());
    const std::set<std::string> consoles = ConsolePorts(Setup.System.ProcRoot, Setup.System.SysRoot);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < Ports.size(); ++i) {
        probes[i].Port = Ports[i];
        JudgeCandidate(probes[i], consoles, Setup.System);
        if (probes[i].Verdict != TProbeVerdict::Skipped)
            threads.emplace_back([&P = probes[i], &Setup] { Ask(P, Setup); });
    }
    for (std::thread& t : threads)
        t.join();
    return probes;
}

std::vector<TProbe> ConvertersFound(const std::vector<TProbe>& Probes)
{
    std::vector<TProbe> found;
    for (const TProbe& p : Probes)
        if (p.Verdict == TProbeVerdict::Converter)
            found.push_back(p);
    return found;
}

std::string ProbeText(const TProbe& Probe)
{
    switch (Probe.Verdict) {
    case TProbeVerdict::Converter:
        return ModelName(Probe.Identity.DeviceModel.value_or(0)) + ", firmware " +
            FirmwareVersionText(Probe.Identity.FirmwareVersion.value_or(0));
    case TProbeVerdict::Other:
        return "something else answers: " + Probe.Detail;
    case TProbeVerdict::Silent:
        return Probe.Detail;
    case TProbeVerdict::NotOpened:
        return "cannot open: " + Probe.Detail.substr(0, Probe.Detail.find('\n'));
    case TProbeVerdict::Skipped:
        break;
    }
    switch (Probe.Skip) {
    case TProbeSkip::Console:
        return "not asked: the system console";
    case TProbeSkip::Held: {
        std::string text = "not asked: held by";
        for (std::size_t i = 0; i < Probe.Holders.size(); ++i)
            text += (i ? ", " : " ") + Probe.Holders[i].Name + " (pid " + std::to_string(Probe.Holders[i].Pid) + ")";
        return text;
    }
    case TProbeSkip::UartAbsent:
        return "not asked: the kernel reports no UART there";
    case TProbeSkip::None:
        break;
    }
    return {};
}

} // namespace kvt
