#include "protocol/frame_text.h"

#include "protocol/commands.h"
#include "protocol/identity.h"
#include "protocol/word_names.h"

namespace kvt {

namespace {

std::string CrcText(const TFrame& f)
{
    return FrameCrcOk(f) ? "crc ok" : "crc BAD";
}

std::string WordText(uint8_t Address)
{
    const std::string name = WordName(Address);
    return "word " + std::to_string(Address) + (name.empty() ? "" : " (" + name + ")");
}

std::string NameOf(uint8_t Command)
{
    const std::string n = CommandName(Command);
    return n.empty() ? "command " + std::to_string(Command) : n;
}

} // namespace

std::string DescribeRequest(const TFrame& f)
{
    const uint8_t cmd = f[0];
    const uint32_t p = FrameParameter(f);
    std::string text;
    switch (cmd) {
    case CmdReadWord:
        text = "read " + WordText(f[4]);
        break;
    case CmdWriteWord:
        text = "write " + WordText(f[2]) + " = " + std::to_string(f[3] << 8 | f[4]);
        break;
    case CmdOutputDrive:
        text = "output drive code " + std::to_string(p);
        break;
    case CmdMeasure:
        text = p == MeasureStoreZero ? "measure, store as InZero"
            : p == MeasureStoreEnd   ? "measure, store as InEnd"
            : p == MeasureOnly       ? "measure only"
                                     : "measure, parameter " + std::to_string(p);
        break;
    case CmdOutputRelease:
    case CmdReadConfig:
    case CmdReadTemperature:
    case CmdReadVersion:
    case CmdIdentify:
        text = NameOf(cmd);
        if (p != 0)
            text += ", parameter " + std::to_string(p);
        break;
    default:
        text = NameOf(cmd) + ", parameter " + std::to_string(p);
        break;
    }
    return text + ", station " + std::to_string(f[1]) + ", " + CrcText(f);
}

std::string DescribeReply(const TFrame& f, uint8_t RequestCommand)
{
    std::string text = NameOf(RequestCommand) + " reply";
    switch (RequestCommand) {
    case CmdIdentify: {
        const std::string model = ModelName(f[4]);
        text += ": station echo " + std::to_string(f[3]) + ", model " + std::to_string(f[4]) +
            (model.empty() ? "" : " (" + model + ")");
        break;
    }
    case CmdReadVersion:
        text += ": " + std::to_string(static_cast<int32_t>(ReplyLong(f))) + " (" +
            FirmwareVersionText(static_cast<int32_t>(ReplyLong(f))) + ")";
        break;
    case CmdReadTemperature:
        text += ": raw " + std::to_string(ReplyLong(f)) + " (" +
            std::to_string(TemperatureCelsius(static_cast<int32_t>(ReplyLong(f)))) + " C)";
        break;
    case CmdReadWord:
    case CmdWriteWord:
    case CmdMeasure:
    case CmdReadConfig:
        text += ": " + std::to_string(ReplyWord(f));
        break;
    default:
        break;
    }
    if (f[0] != RequestCommand)
        text += ", echo " + std::to_string(f[0]) + " WRONG";
    return text + ", " + CrcText(f);
}

} // namespace kvt
