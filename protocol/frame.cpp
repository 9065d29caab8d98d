#include "protocol/frame.h"

#include <cstdio>

namespace kvt {

namespace {
uint8_t At(std::string_view s, std::size_t i)
{
    return i < s.size() ? static_cast<uint8_t>(s[i]) : 0;
}
} // namespace

TFrame BuildFrame(TCrc16& Acc, uint8_t Command, uint8_t Station, uint8_t P1, uint8_t P2, uint8_t P3)
{
    TFrame f{Command, Station, P1, P2, P3, 0, 0};
    Acc.Reset();
    for (int i = 0; i < 5; ++i)
        Acc.Crc16(f[i]);
    f[5] = static_cast<uint8_t>(~(Acc.Value() & 0xFFu));
    f[6] = static_cast<uint8_t>(~(Acc.Value() >> 8));
    return f;
}

TFrame BuildFrame(uint8_t Command, uint8_t Station, uint8_t P1, uint8_t P2, uint8_t P3)
{
    TCrc16 acc;
    return BuildFrame(acc, Command, Station, P1, P2, P3);
}

TFrame BuildSendFrame(uint8_t Command, uint8_t Station, uint32_t Parameter)
{
    return BuildFrame(Command, Station, static_cast<uint8_t>(Parameter >> 16),
        static_cast<uint8_t>(Parameter >> 8), static_cast<uint8_t>(Parameter));
}

TFrame BuildSendEEFrame(uint8_t Command, uint8_t Station, uint8_t Address, uint16_t Value)
{
    return BuildFrame(Command, Station, Address, static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value));
}

bool FrameCrcOk(const TFrame& Frame)
{
    const uint16_t r = Crc16Of(Frame.data(), 5);
    return Frame[5] == static_cast<uint8_t>(~(r & 0xFFu)) && Frame[6] == static_cast<uint8_t>(~(r >> 8));
}

bool ReplyValid(TCrc16& Acc, std::string_view Reply, uint8_t Command)
{
    Acc.Reset();
    if (Reply.size() < 3)
        return false;
    const std::size_t n = Reply.size() - 2;
    for (std::size_t i = 0; i < n; ++i)
        Acc.Crc16(static_cast<uint8_t>(Reply[i]));
    const unsigned lo = static_cast<uint8_t>(~At(Reply, n));
    const unsigned hi = static_cast<uint8_t>(~At(Reply, n + 1));
    return (hi << 8 | lo) == Acc.Value() && At(Reply, 0) == Command;
}

bool ReplyValid(std::string_view Reply, uint8_t Command)
{
    TCrc16 acc;
    return ReplyValid(acc, Reply, Command);
}

uint16_t ReplyWord(std::string_view Reply)
{
    return static_cast<uint16_t>(At(Reply, 3) << 8 | At(Reply, 4));
}

uint32_t ReplyLong(std::string_view Reply)
{
    return uint32_t{At(Reply, 1)} << 24 | uint32_t{At(Reply, 2)} << 16 | uint32_t{At(Reply, 3)} << 8 | At(Reply, 4);
}

uint16_t ReplyWord(const TFrame& Reply)
{
    return static_cast<uint16_t>(Reply[3] << 8 | Reply[4]);
}

uint32_t ReplyLong(const TFrame& Reply)
{
    return uint32_t{Reply[1]} << 24 | uint32_t{Reply[2]} << 16 | uint32_t{Reply[3]} << 8 | Reply[4];
}

uint32_t FrameParameter(const TFrame& Frame)
{
    return uint32_t{Frame[2]} << 16 | uint32_t{Frame[3]} << 8 | Frame[4];
}

std::string FrameToString(const TFrame& Frame)
{
    return std::string(reinterpret_cast<const char*>(Frame.data()), Frame.size());
}

TFrame FrameFromString(std::string_view Data)
{
    TFrame f{};
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = At(Data, i);
    return f;
}

std::string HexBytes(std::string_view Data)
{
    std::string out;
    out.reserve(Data.size() * 3);
    char buf[4];
    for (std::size_t i = 0; i < Data.size(); ++i) {
        std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", static_cast<uint8_t>(Data[i]));
        out += buf;
    }
    return out;
}

std::string HexBytes(const TFrame& Frame)
{
    return HexBytes(std::string_view(reinterpret_cast<const char*>(Frame.data()), Frame.size()));
}

} // namespace kvt
