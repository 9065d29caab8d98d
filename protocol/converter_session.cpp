#include "protocol/converter_session.h"

#include "protocol/commands.h"
#include "protocol/word_names.h"

#include <chrono>
#include <optional>

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

// An identify reply whose station echo is not ours comes from another device.
std::optional<TOutcome> ForeignStation(const TIdentity& Id, int Station)
{
    if (*Id.EchoedStation == Station)
        return std::nullopt;
    return NotConverter(CmdIdentify, "it echoed station " + std::to_string(*Id.EchoedStation) + " instead of " +
                                         std::to_string(Station));
}

// Only a KVT27 or a KVT27L is taken.
std::optional<TOutcome> ForeignModel(const TIdentity& Id)
{
    if (*Id.DeviceModel == ModelKVT27 || *Id.DeviceModel == ModelKVT27L)
        return std::nullopt;
    return NotConverter(CmdIdentify, "it reports model " + std::to_string(*Id.DeviceModel) + " (a KVT27 is 10, a KVT27L 12)");
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
    case TFault::LateReply:
        return "a late reply to " + request + (Detail.empty() ? "" : " (" + Detail + ")");
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
            // The answer to the repeat may have been the first request's, late: then the repeat's
            // own would be left for the next question.
            if (x.Ok() && !stale(x)) {
                const TOutcome quiet = ExpectQuiet(x);
                if (!quiet.Ok()) {
                    r.Outcome = quiet;
                    return r;
                }
            }
        }
    }
    if (!x.Ok()) {
        r.Outcome = TOutcome::Of(x);
        return r;
    }
    id.DeviceModel = x.Byte(5);
    id.EchoedStation = x.Byte(4);
    if (const auto foreign = ForeignStation(id, FStationAddress)) {
        r.Outcome = *foreign;
        return r;
    }

    x = Send(CmdReadVersion, 0);
    if (!x.Ok()) {
        r.Outcome = TOutcome::Of(x);
        return r;
    }
    id.FirmwareVersion = static_cast<int32_t>(x.Long());
    if (const auto foreign = ForeignModel(id)) {
        r.Outcome = *foreign;
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

TResult<TIdentity> TConverterSession::Probe()
{
    TResult<TIdentity> r;
    TIdentity& id = r.Value;
    TExchange x = Send(CmdIdentify, 0);
    if (!x.Ok()) {
        r.Outcome = TOutcome::Of(x);
        return r;
    }
    id.DeviceModel = x.Byte(5);
    id.EchoedStation = x.Byte(4);
    if (const auto foreign = ForeignStation(id, FStationAddress)) {
        r.Outcome = *foreign;
        return r;
    }
    if (const auto foreign = ForeignModel(id)) {
        r.Outcome = *foreign;
        return r;
    }
    x = Send(CmdReadVersion, 0);
    if (!x.Ok()) {
        r.Outcome = TOutcome::Of(x);
        return r;
    }
    id.FirmwareVersion = static_cast<int32_t>(x.Long());
    return r;
}

TResult<TLoadedWords> TConverterSession::LoadSettings(const std::function<void(int Row)>& BeforeRow)
{
    TResult<TLoadedWords> r;
    for (std::size_t k = 0; k < LoadEEOrder.size(); ++k) {
        if (BeforeRow)
            BeforeRow(static_cast<int>(k) + 1);
        const TResult<uint16_t> word = ReadWordRetried(LoadEEOrder[k]);
        if (!word.Ok()) {
            r.Outcome = word.Outcome;
            return r;
        }
        r.Value.Rows[k] = word.Value;
    }
    return r;
}

TResult<uint16_t> TConverterSession::ReadWordRetried(uint8_t Address)
{
    TExchange x = Send(CmdReadWord, Address);
    // A read-word reply names no address: only its time ties it to its request. So a reply that
    // may still come for the first request must be gone before the word is asked again, and
    // nothing may follow the repeat's answer, or each later word would take the reply of the one
    // before.
    if (!x.Ok() && FPort.Active() && SettleLine(x)) {
        x = Send(CmdReadWord, Address);
        if (x.Ok()) {
            const TOutcome quiet = ExpectQuiet(x);
            if (!quiet.Ok())
                return {quiet, 0};
        }
    }
    return {TOutcome::Of(x), x.Ok() ? x.Word() : uint16_t{0}};
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

TConverterSession::TWordWrite TConverterSession::WriteWordOrReadBack(uint8_t Address, uint16_t Value)
{
    TWordWrite w;
    const TExchange x = SendEE(CmdWriteWord, Address, Value);
    w.Outcome = TOutcome::Of(x);
    w.Sent = x.Sent;
    if (x.Ok() || !x.Sent || !FPort.Active() || !SettleLine(x))
        return w;
    // A late write reply echoes another command than a read, so it cannot pass for this one.
    const TExchange back = Send(CmdReadWord, Address);
    if (back.Ok())
        w.Holds = back.Word();
    return w;
}

int TConverterSession::ReplyLimitMs()
{
    TTimeouts& t = FPort.Timeouts();
    const int limit = t.ReadMultiplier() * static_cast<int>(FrameSize) + t.ReadConstant();
    return limit > 0 ? limit : 800;
}

bool TConverterSession::Drain(int QuietMs, int LimitMs, std::string& Bytes)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto quietSince = start;
    for (;;) {
        const auto now = Clock::now();
        if (now - quietSince >= std::chrono::milliseconds(QuietMs))
            return true;
        if (now - start >= std::chrono::milliseconds(LimitMs))
            return false;
        char b = 0;
        try {
            // One byte at a time, each within the port's own limit, so a quiet line is seen as such.
            FPort.Read(&b, 1, true);
            Bytes.push_back(b);
            quietSince = Clock::now();
        } catch (const EComTimeout&) {
        } catch (const EComError&) {
            return false;
        }
    }
}

namespace {

// Late bytes, for the line's log.
TExchange Dropped(const TExchange& Awaited, std::string Bytes, std::string Detail)
{
    TExchange d;
    d.Fault = TFault::LateReply;
    d.Request = Awaited.Request;
    d.Reply = std::move(Bytes);
    d.Detail = std::move(Detail);
    d.Started = std::chrono::system_clock::now();
    d.LineOnly = true;
    return d;
}

} // namespace

bool TConverterSession::SettleLine(const TExchange& Failed)
{
    std::string late;
    const int reply = ReplyLimitMs();
    const bool quiet = Drain(2 * reply, 10 * reply, late);
    if (!late.empty())
        FTransactions.Report(Dropped(Failed, std::move(late), "dropped"));
    return quiet;
}

TOutcome TConverterSession::ExpectQuiet(const TExchange& Repeat)
{
    std::string late;
    const int reply = ReplyLimitMs();
    const bool quiet = Drain(2 * reply, 10 * reply, late);
    if (quiet && late.empty())
        return {};
    const std::string detail = "it came after the repeated request was answered, so that answer may be the late one";
    TOutcome o = TOutcome::Of(Repeat);
    o.Fault = TFault::LateReply;
    o.Detail = detail;
    FTransactions.Report(Dropped(Repeat, std::move(late), detail));
    return o;
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
