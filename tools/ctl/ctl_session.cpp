#include "tools/ctl/ctl_session.h"

#include "protocol/identity.h"
#include "protocol/line_settings.h"
#include "serial/port_access.h"
#include "tools/ctl/ctl_status.h"

namespace kvt::ctl {

TCtlSession::TCtlSession(const std::string& PortText) : FDevice(PortDeviceName(PortText)), FSession(FPort)
{
    ApplyConverterLineSettings(FPort);
}

TCtlSession::~TCtlSession()
{
    try {
        FPort.SetActive(false);
    } catch (...) {
    }
}

std::string TCtlSession::FailureText(const TOutcome& Outcome) const
{
    return "the converter on " + FDevice + " failed: " + Outcome.Describe();
}

void TCtlSession::Fail(const TOutcome& Outcome, const std::string& Note)
{
    if (Outcome.Fault == TFault::NotConverter)
        throw ECtlError(ExitNotConverter, "the device on " + FDevice + " is " + Outcome.Describe());
    throw ECtlError(ExitNoAnswer, FailureText(Outcome) + Note);
}

void TCtlSession::Open()
{
    if (FDevice.empty())
        throw ECtlError(ExitUsage, "no port given (--port NAME; \"kvt27ctl ports\" lists them)");
    Settings.StationAddress = FSession.NewStationAddress();
    try {
        FPort.SetDeviceName(FDevice);
        FPort.SetActive(true);
        // A late reply from an earlier use of the line must not pass for the identification.
        FPort.PurgeInput();
    } catch (const EComError& e) {
        throw ECtlError(ExitPortOpen, "cannot open port " + FDevice + ": " +
                PortOpenFailureDetail(e.ErrorCode(), e.what(), PortAccessGroup(FDevice)));
    }
}

void TCtlSession::Identify()
{
    CheckStop();
    const TResult<TIdentity> r = FSession.Identify();
    if (!r.Ok())
        Fail(r.Outcome);
    const TIdentity& id = r.Value;
    Settings.DeviceModel = *id.DeviceModel;
    Settings.FirmwareVersion = *id.FirmwareVersion;
    if (id.TemperatureRaw)
        TemperatureC = TemperatureCelsius(*id.TemperatureRaw);
    Settings.ConfigType = *id.ConfigType;
}

void TCtlSession::LoadSettings()
{
    const TResult<TLoadedWords> r = FSession.LoadSettings([this](int) { CheckStop(); });
    if (!r.Ok())
        Fail(r.Outcome, " (asked twice)");
    r.Value.ApplyTo(Settings);
}

uint16_t TCtlSession::ReadWord(uint8_t Address)
{
    CheckStop();
    const TResult<uint16_t> r = FSession.ReadWordRetried(Address);
    if (!r.Ok())
        Fail(r.Outcome);
    return r.Value;
}

TConverterSession::TWordWrite TCtlSession::WriteWord(uint8_t Address, uint16_t Value)
{
    CheckStop();
    return FSession.WriteWordOrReadBack(Address, Value);
}

uint16_t TCtlSession::Measure()
{
    CheckStop();
    const TResult<uint16_t> r = FSession.Measure(MeasureOnly);
    if (!r.Ok())
        Fail(r.Outcome);
    return r.Value;
}

} // namespace kvt::ctl
