#include "protocol/transactions.h"

namespace kvt {

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point Start)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count());
}

TFault ReadFault(const EComError& E, const TComPort& Port)
{
    return Port.Active() && dynamic_cast<const EComTimeout*>(&E) != nullptr ? TFault::NoReply : TFault::LineFailed;
}

} // namespace

uint8_t TExchange::Byte(int K) const
{
    const auto i = static_cast<std::size_t>(K - 1);
    return i < Reply.size() ? static_cast<uint8_t>(Reply[i]) : 0;
}

const char* FaultName(TFault Fault)
{
    switch (Fault) {
    case TFault::None:
        return "ok";
    case TFault::NoReply:
        return "no reply";
    case TFault::BadCrc:
        return "bad CRC";
    case TFault::WrongEcho:
        return "reply to another command";
    case TFault::LineFailed:
        return "line failed";
    case TFault::NotConverter:
        return "not a KVT27 converter";
    case TFault::LateReply:
        return "late reply";
    }
    return "";
}

TTransactions::TTransactions(TComPort& Port, const int& StationAddress, std::function<void(int Ms)> ShowElapsed)
    : FPort(Port), FStationAddress(StationAddress), FShowElapsed(std::move(ShowElapsed))
{
}

void TTransactions::Crc16(uint8_t B)
{
    FCrc.Crc16(B);
}

TExchange TTransactions::Run(TKind Kind, uint8_t Command, uint8_t P1, uint8_t P2, uint8_t P3)
{
    TExchange x;
    x.Started = std::chrono::system_clock::now();
    x.ExpectsReply = Kind != TKind::DA;
    const auto start = Clock::now();
    x.Request = BuildFrame(FCrc, Command, static_cast<uint8_t>(FStationAddress), P1, P2, P3);
    auto fail = [&x](TFault Fault, const EComError& E) {
        if (x.Fault == TFault::None) {
            x.Fault = Fault;
            x.Detail = E.what();
        }
    };
    auto done = [this, &x] {
        if (FObserver)
            FObserver(x);
        return x;
    };

    try {
        FPort.WriteString(FrameToString(x.Request));
        x.Sent = true;
    } catch (const EComError& e) {
        fail(TFault::LineFailed, e);
        // Send gives up at once; SendEE and DA still wait for the write, as the converter may
        // have the request after all.
        if (Kind == TKind::Send)
            return done();
    }
    try {
        FPort.WaitForWrite();
    } catch (const EComError& e) {
        fail(TFault::LineFailed, e);
        return done();
    }
    if (Kind == TKind::DA)
        return done();

    ReadReply(x, Kind == TKind::SendEE, start);
    return done();
}

void TTransactions::ReadReply(TExchange& X, bool AlwaysTimed, std::chrono::steady_clock::time_point Start)
{
    std::string reply(FrameSize, '\0');
    try {
        FPort.Read(reply.data(), FrameSize, true);
    } catch (const EComError& e) {
        if (X.Fault == TFault::None) {
            X.Fault = ReadFault(e, FPort);
            X.Detail = e.what();
        }
    }
    X.Reply = std::move(reply);
    if (X.Fault == TFault::None || AlwaysTimed) {
        X.ElapsedMs = MsSince(Start);
        if (FShowElapsed)
            FShowElapsed(X.ElapsedMs);
    }
    if (X.Fault == TFault::None && !ReplyValid(FCrc, X.Reply, X.Request[0]))
        X.Fault = FrameCrcOk(FrameFromString(X.Reply)) ? TFault::WrongEcho : TFault::BadCrc;
}

TExchange TTransactions::ReadAgain(const TExchange& Previous)
{
    TExchange x;
    x.Started = std::chrono::system_clock::now();
    x.Request = Previous.Request;
    ReadReply(x, false, Clock::now());
    if (FObserver)
        FObserver(x);
    return x;
}

TExchange TTransactions::Send(uint8_t Command, uint32_t Parameter)
{
    return Run(TKind::Send, Command, static_cast<uint8_t>(Parameter >> 16), static_cast<uint8_t>(Parameter >> 8),
               static_cast<uint8_t>(Parameter));
}

TExchange TTransactions::SendEE(uint8_t Command, uint8_t Address, uint16_t Value)
{
    return Run(TKind::SendEE, Command, Address, static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value));
}

TExchange TTransactions::DA(uint8_t Command, uint32_t Parameter)
{
    return Run(TKind::DA, Command, static_cast<uint8_t>(Parameter >> 16), static_cast<uint8_t>(Parameter >> 8),
               static_cast<uint8_t>(Parameter));
}

} // namespace kvt
