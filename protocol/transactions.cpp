#include "protocol/transactions.h"

#include "protocol/frame.h"

#include <chrono>

namespace kvt {

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point Start)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count());
}

} // namespace

TTransactions::TTransactions(TComPort& Port, const int& StationAddress, std::function<void(int Ms)> ShowElapsed)
    : FPort(Port), FStationAddress(StationAddress), FShowElapsed(std::move(ShowElapsed))
{
}

void TTransactions::Crc16(uint8_t B)
{
    FCrc.Crc16(B);
}

std::string TTransactions::Build(uint8_t Command, uint8_t P1, uint8_t P2, uint8_t P3)
{
    return FrameToString(BuildFrame(FCrc, Command, static_cast<uint8_t>(FStationAddress), P1, P2, P3));
}

void TTransactions::Report(int Ms, int& Elapsed)
{
    Elapsed = Ms;
    if (FShowElapsed)
        FShowElapsed(Ms);
}

int TTransactions::Send(uint8_t Command, uint32_t Parameter, std::string& Reply, int& Elapsed)
{
    const auto start = Clock::now();
    Reply = Build(Command, static_cast<uint8_t>(Parameter >> 16), static_cast<uint8_t>(Parameter >> 8),
        static_cast<uint8_t>(Parameter));
    try {
        FPort.WriteString(Reply);
    } catch (const EComError&) {
        return 0;
    }
    // Unguarded on purpose: an error here (closed port, line check) goes to the general error report.
    FPort.WaitForWrite();
    Reply.assign(FrameSize, '\0');
    try {
        FPort.Read(Reply.data(), FrameSize, true);
    } catch (const EComError&) {
        return 0;
    }
    Report(MsSince(start), Elapsed);
    return ReplyValid(FCrc, Reply, Command) ? 1 : 0;
}

int TTransactions::SendEE(uint8_t Command, uint8_t Address, uint16_t Value, std::string& Reply, int& Elapsed)
{
    const auto start = Clock::now();
    bool failed = false;
    Reply = Build(Command, Address, static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value));
    try {
        FPort.WriteString(Reply);
    } catch (const EComError&) {
        failed = true;
    }
    FPort.WaitForWrite();
    Reply.assign(FrameSize, '\0');
    try {
        FPort.Read(Reply.data(), FrameSize, true);
    } catch (const EComError&) {
        failed = true;
    }
    Report(MsSince(start), Elapsed);
    if (failed)
        return 0;
    return ReplyValid(FCrc, Reply, Command) ? 1 : 0;
}

void TTransactions::DA(uint8_t Command, uint32_t Parameter)
{
    const std::string request = Build(Command, static_cast<uint8_t>(Parameter >> 16),
        static_cast<uint8_t>(Parameter >> 8), static_cast<uint8_t>(Parameter));
    try {
        FPort.WriteString(request);
    } catch (const EComError&) {
        // No reply is read, so nothing would tell a failed write from a lost one.
    }
    FPort.WaitForWrite();
}

} // namespace kvt
