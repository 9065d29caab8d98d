#include "tools/ctl/ctl_session.h"

#include "protocol/commands.h"
#include "tools/ctl/ctl_status.h"

namespace kvt::ctl {

std::string TCtlSession::FailureText(const TOutcome& Outcome) const
{
    return "the converter on " + Device() + " failed: " + Outcome.Describe();
}

void TCtlSession::Fail(const TOutcome& Outcome, const std::string& Note) const
{
    if (Outcome.Fault == TFault::NotConverter)
        throw ECtlError(ExitNotConverter, "the device on " + Device() + " is " + Outcome.Describe());
    throw ECtlError(ExitNoAnswer, FailureText(Outcome) + Note);
}

void TCtlSession::Open()
{
    if (TConverterModel::DeviceName(FPortText).empty())
        throw ECtlError(ExitUsage, "no port given (--port NAME; \"kvt27ctl ports\" lists them)");
    if (const std::optional<TOpenFailure> failed = FModel.Open(FPortText))
        throw ECtlError(ExitPortOpen, "cannot open port " + FModel.Device() + ": " + failed->Reason);
}

void TCtlSession::Identify()
{
    const TResult<TIdentity> r = FModel.Identify();
    if (!r.Ok())
        Fail(r.Outcome);
}

void TCtlSession::LoadSettings()
{
    const TResult<TLoadedWords> r = FModel.Load();
    if (!r.Ok())
        Fail(r.Outcome, " (asked twice)");
}

uint16_t TCtlSession::ReadWord(uint8_t Address)
{
    const TResult<uint16_t> r = FModel.ReadWord(Address);
    if (!r.Ok())
        Fail(r.Outcome);
    return r.Value;
}

TMeasured TCtlSession::Measure()
{
    const TResult<TMeasured> r = FModel.Sample();
    if (!r.Ok())
        Fail(r.Outcome);
    return r.Value;
}

} // namespace kvt::ctl
