#include "protocol/converter_session.h"

#include "protocol/commands.h"
#include "protocol/word_names.h"

namespace kvt {

namespace {

std::string RequestText(uint8_t Command, uint32_t Parameter)
{
    // Appended piece by piece: GCC 12 warns falsely about a literal added to a temporary string.
    std::string name = CommandName(Command);
    if (name.empty())
        name.append("command ").append(std::to_string(Command));
    if (Command == CmdReadWord || Command == CmdWriteWord) {
        const auto address = static_cast<uint8_t>(Command == CmdReadWord ? Parameter : Parameter >> 16);
        const std::string word = WordName(address);
        name.append(" ").append(std::to_string(address));
        if (!word.empty())
            name.append(" (").append(word).append(")");
        if (Command == CmdWriteWord)
            name.append(" = ").append(std::to_string(Parameter & 0xFFFFu));
    } else if (Command == CmdMeasure || Command == CmdOutputDrive) {
        name.append(" ").append(std::to_string(Parameter));
    }
    return name;
}

TOutcome NotConverter(uint8_t Command, std::string Detail)
{
    TOutcome o;
    o.Fault = TFault::NotConverter;
    o.Command = Command;
    o.Detail = std::move(Detail);
    return o;
}

} // namespace

TOutcome TOutcome::Of(const TExchange& X)
{
    TOutcome o;
    o.Fault = X.Fault;
    o.Command = X.Request[0];
    o.Parameter = FrameParameter(X.Request);
    o.Detail = X.Detail;
    return o;
}

std::string TOutcome::Describe() const
{
    const std::string request = RequestText(Command, Parameter);
    switch (Fault) {
    case TFault::None:
        return request + ": ok";
    case TFault::NoReply:
        return "no reply to " + request;
    case TFault::BadCrc:
        return "a reply with a bad CRC to " + request;
    case TFault::WrongEcho:
        return "a reply to another command than " + request;
    case TFault::LineFailed:
        return "the line failed during " + request + (Detail.empty() ? "" : ": " + Detail);
    case TFault::NotConverter:
        return "not a KVT27 converter: " + Detail;
    }
    return request;
}

void TLoadedWords::ApplyTo(TDeviceSettings& Settings) const
{
    for (std::size_t k = 0; k < LoadEEOrder.size(); ++k) {
        if (k == 2 || k == 3)
            continue;
        if (const TSettingsWordRow* w = FindSettingsWord(LoadEEOrder[k]))
            Settings.*(w->Field) = Rows[k];
    }
}

TConverterSession::TConverterSession(TComPort& Port, std::function<void(int Ms)> ShowElapsed)
    : FPort(Port), FTransactions(Port, FStationAddress, std::move(ShowElapsed))
{
}

int TConverterSession::NewStationAddress()
{
    FStationAddress = std::uniform_int_distribution<int>(1, 254)(FRandom);
    return FStationAddress;
}

TResult<TIdentity> TConverterSession::Identify()
{
    TResult<TIdentity> r;
    TIdentity& id = r.Value;

    TExchange x = Send(CmdIdentify, 0);
    // A converter that answered an earlier user of the line too late leaves that reply to be read
    // now: a reply to another command, or one that echoes another station. Our own reply may
    // follow it; if none does, the question is asked again on a clean line before the device is
    // judged.
    auto stale = [this](const TExchange& X) {
        return X.Fault == TFault::WrongEcho || (X.Ok() && X.Byte(4) != FStationAddress);
    };
    if (stale(x) && FPort.Active()) {
        x = FTransactions.ReadAgain(x);
        if (!x.Ok() || stale(x)) {
            try {
                FPort.PurgeInput();
            } catch (const EComError&) {
            }
            x = Send(CmdIdentify, 0);
        }
    }
    if (!x.Ok()) {
        r.Outcome = TOutcome::Of(x);
        return r;
    }
    id.DeviceModel = x.Byte(5);
    id.EchoedStation = x.Byte(4);
    if (*id.EchoedStation != FStationAddress) {
        r.Outcome = NotConverter(CmdIdentify, "it echoed station " + std::to_string(*id.EchoedStation) + " instead of " +
                                                  std::to_string(FStationAddress));
        return r;
    }

    x = Send(CmdReadVersion, 0);
    if (!x.Ok()) {
        r.Outcome = TOutcome::Of(x);
        return r;
    }
    id.FirmwareVersion = static_cast<int32_t>(x.Long());
    if (*id.DeviceModel != ModelKVT27 && *id.DeviceModel != ModelKVT27L) {
        r.Outcome = NotConverter(CmdIdentify, "it reports model " + std::to_string(*id.DeviceModel) +
                                                  " (a KVT27 is 10, a KVT27L 12)");
        return r;
    }

    if (*id.DeviceModel == ModelKVT27) {
        x = Send(CmdReadTemperature, 0);
        if (!x.Ok()) {
            r.Outcome = TOutcome::Of(x);
            return r;
        }
        id.TemperatureRaw = static_cast<int32_t>(x.Long());
    }

    x = Send(CmdReadConfig, 0);
    if (!x.Ok()) {
        r.Outcome = TOutcome::Of(x);
        return r;
    }
    id.ConfigType = x.Word();
    return r;
}

TResult<TLoadedWords> TConverterSession::LoadSettings(const std::function<void(int Row)>& BeforeRow)
{
    TResult<TLoadedWords> r;
    for (std::size_t k = 0; k < LoadEEOrder.size(); ++k) {
        if (BeforeRow)
            BeforeRow(static_cast<int>(k) + 1);
        TExchange x = Send(CmdReadWord, LoadEEOrder[k]);
        if (!x.Ok() && FPort.Active()) {
            try {
                FPort.PurgeInput();
            } catch (const EComError&) {
                // The second request finds the port's state for itself.
            }
            x = Send(CmdReadWord, LoadEEOrder[k]);
        }
        if (!x.Ok()) {
            r.Outcome = TOutcome::Of(x);
            return r;
        }
        r.Value.Rows[k] = x.Word();
    }
    return r;
}

TResult<uint16_t> TConverterSession::ReadWord(uint8_t Address)
{
    const TExchange x = Send(CmdReadWord, Address);
    return {TOutcome::Of(x), x.Ok() ? x.Word() : uint16_t{0}};
}

TOutcome TConverterSession::WriteWord(uint8_t Address, uint16_t Value)
{
    return TOutcome::Of(SendEE(CmdWriteWord, Address, Value));
}

TResult<uint16_t> TConverterSession::Measure(uint32_t Parameter)
{
    const TExchange x = Send(CmdMeasure, Parameter);
    return {TOutcome::Of(x), x.Ok() ? x.Word() : uint16_t{0}};
}

TOutcome TConverterSession::DriveOutput(uint16_t Code)
{
    return TOutcome::Of(DA(CmdOutputDrive, Code));
}

TOutcome TConverterSession::ReleaseOutput()
{
    return TOutcome::Of(DA(CmdOutputRelease, 0));
}

} // namespace kvt
