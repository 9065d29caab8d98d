#include "tools/ctl/ctl_session.h"

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"
#include "tools/ctl/ctl_status.h"
#include "serial/port_access.h"
#include "protocol/line_settings.h"

#include <random>

namespace kvt::ctl {

TCtlSession::TCtlSession(const std::string& PortText)
    : FDevice(PortDeviceName(PortText)), FTransactions(FPort, Settings.StationAddress, nullptr)
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

void TCtlSession::Open()
{
    if (FDevice.empty())
        throw ECtlError(ExitUsage, "no port given (--port NAME; \"kvt27ctl ports\" lists them)");
    std::random_device seed;
    Settings.StationAddress = std::uniform_int_distribution<int>(1, 254)(seed);
    try {
        FPort.SetDeviceName(FDevice);
        FPort.SetActive(true);
    } catch (const EComError& e) {
        throw ECtlError(ExitPortOpen, "cannot open port " + FDevice + ": " +
                PortOpenFailureDetail(e.ErrorCode(), e.what(), PortAccessGroup(FDevice)));
    }
}

std::string TCtlSession::Ask(uint8_t Command, uint32_t Parameter, const std::string& What)
{
    std::string reply;
    int elapsed = 0;
    if (FTransactions.Send(Command, Parameter, reply, elapsed) != 1)
        throw ECtlError(ExitNoAnswer, "no answer from the converter on " + FDevice + " (" + What + ")");
    return reply;
}

void TCtlSession::Identify()
{
    std::string reply = Ask(CmdIdentify, 0, "identify");
    Settings.DeviceModel = static_cast<uint8_t>(reply[4]);
    const int echo = static_cast<uint8_t>(reply[3]);
    if (echo != Settings.StationAddress)
        throw ECtlError(ExitNotConverter, "the device on " + FDevice + " is not a KVT27 converter: it echoed station " +
                std::to_string(echo) + " instead of " + std::to_string(Settings.StationAddress));

    reply = Ask(CmdReadVersion, 0, "firmware version");
    Settings.FirmwareVersion = static_cast<int32_t>(ReplyLong(reply));

    if (Settings.DeviceModel != ModelKVT27 && Settings.DeviceModel != ModelKVT27L)
        throw ECtlError(ExitNotConverter, "the device on " + FDevice + " is not a KVT27 converter: it reports model " +
                std::to_string(Settings.DeviceModel) + " (a KVT27 is 10, a KVT27L 12)");

    if (Settings.DeviceModel == ModelKVT27) {
        reply = Ask(CmdReadTemperature, 0, "temperature");
        TemperatureC = TemperatureCelsius(static_cast<int32_t>(ReplyLong(reply)));
    }

    reply = Ask(CmdReadConfig, 0, "configuration");
    Settings.ConfigType = ReplyWord(reply);
}

uint16_t TCtlSession::ReadWord(uint8_t Address)
{
    const std::string reply = Ask(CmdReadWord, Address, "reading " + WordName(Address));
    return ReplyWord(reply);
}

void TCtlSession::WriteWord(uint8_t Address, uint16_t Value)
{
    std::string reply;
    int elapsed = 0;
    if (FTransactions.SendEE(CmdWriteWord, Address, Value, reply, elapsed) != 1)
        throw ECtlError(ExitNoAnswer, "no answer from the converter on " + FDevice + " (writing " + WordName(Address) +
                " = " + std::to_string(Value) + "; it may or may not have been stored)");
}

uint16_t TCtlSession::Measure()
{
    return ReplyWord(Ask(CmdMeasure, MeasureOnly, "measure"));
}

void TCtlSession::LoadSettings()
{
    TDeviceSettings& s = Settings;
    const std::pair<uint8_t, int*> words[] = {
        {WordInputMode, &s.InputMode}, {WordOutputMode, &s.OutputMode}, {WordFilterType, &s.FilterType},
        {WordInZero, &s.InZero}, {WordInEnd, &s.InEnd}, {WordOutZero, &s.OutZero}, {WordOutEnd, &s.OutEnd},
        {WordLimitReaction, &s.LimitReaction}, {WordCalIn0mA, &s.CalIn0mA}, {WordCalIn20mA, &s.CalIn20mA},
        {WordCalOut0mA, &s.CalOut0mA}, {WordCalOut20mA, &s.CalOut20mA}, {WordCalIn0V, &s.CalIn0V},
        {WordCalIn10V, &s.CalIn10V}, {WordCalOut0V, &s.CalOut0V}, {WordCalOut10V, &s.CalOut10V}};
    for (const auto& [address, field] : words)
        *field = ReadWord(address);
}

} // namespace kvt::ctl
