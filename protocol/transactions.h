// The three transactions with the converter over a TComPort: Send (request and 7-byte reply,
// 24-bit parameter), SendEE (request and reply, address byte and 16-bit value) and DA (request
// only). Nothing is retried. One transaction at a time, on one thread: they share one CRC
// accumulator.
//
// Each says what happened: the reply, or which fault ended the transaction. A serial error never
// leaves them; any other error (the silent abort of an error handler) does.
#pragma once

#include "protocol/commands.h"
#include "protocol/crc16.h"
#include "protocol/frame.h"
#include "serial/comport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace kvt {

// How a transaction went wrong.
enum class TFault {
    None,
    NoReply,      // nothing, or too little, within the read limit
    BadCrc,       // seven bytes whose CRC does not match
    WrongEcho,    // a sound reply, but to another command
    LineFailed,   // the port failed or was closed (a pulled cable, a closed port, an I/O error)
    NotConverter, // identification: the device that answers is not a KVT27 or KVT27L
    LateReply,    // bytes that came after a reply's time: they may answer an earlier request
};

// One transaction as it went.
struct TExchange {
    TFault Fault = TFault::None;
    TFrame Request{};
    std::string Reply;  // the 7-byte read buffer (zero where nothing came); empty when no read was made
    int ElapsedMs = -1; // the transaction time, when it was taken
    std::string Detail; // the port's own text for LineFailed
    std::chrono::system_clock::time_point Started;
    bool ExpectsReply = true; // false for DA
    bool Sent = false;        // the request was handed to the line (it may have reached the converter)
    bool LineOnly = false;    // no request of its own: bytes the line brought outside a transaction

    bool Ok() const { return Fault == TFault::None; }
    uint8_t Command() const { return Request[0]; }
    // Reply fields, big-endian; 0 where the reply is missing.
    uint16_t Word() const { return ReplyWord(Reply); }   // bytes 4-5
    uint32_t Long() const { return ReplyLong(Reply); }   // bytes 2-5
    uint8_t Byte(int K) const;                            // byte K, counted from 1
};

class TTransactions {
public:
    // StationAddress is read at each frame build; ShowElapsed receives the transaction time in
    // milliseconds for the status bar (may be empty).
    TTransactions(TComPort& Port, const int& StationAddress, std::function<void(int Ms)> ShowElapsed);

    void Crc16(uint8_t B);
    uint16_t Crc() const { return FCrc.Value(); }

    // Every transaction, as it ended; empty (the default) costs nothing.
    void SetObserver(std::function<void(const TExchange&)> Observer) { FObserver = std::move(Observer); }
    // Hands X to the observer, for what the line did outside a transaction (late bytes dropped).
    void Report(const TExchange& X)
    {
        if (FObserver)
            FObserver(X);
    }

    // Send gives up when the request cannot be written and reports the time only when a reply
    // was read; SendEE goes on to the read and always reports the time; DA reads nothing and
    // reports no time.
    TExchange Send(uint8_t Command, uint32_t Parameter);
    TExchange SendEE(uint8_t Command, uint8_t Address, uint16_t Value);
    TExchange DA(uint8_t Command, uint32_t Parameter);

    // One more reply to Previous's request, read within the read limit and checked as Send checks
    // it, with no new request: for a reply that followed a stale one on the line.
    TExchange ReadAgain(const TExchange& Previous);

private:
    enum class TKind { Send, SendEE, DA };
    TExchange Run(TKind Kind, uint8_t Command, uint8_t P1, uint8_t P2, uint8_t P3);
    // Reads and checks the reply to X's request; the time is taken from Start when a reply came,
    // or always with AlwaysTimed (SendEE). A fault already in X stays.
    void ReadReply(TExchange& X, bool AlwaysTimed, std::chrono::steady_clock::time_point Start);

    TComPort& FPort;
    const int& FStationAddress;
    std::function<void(int Ms)> FShowElapsed;
    std::function<void(const TExchange&)> FObserver;
    TCrc16 FCrc;
};

// A short English description of a fault: "no reply", "bad CRC", ...
const char* FaultName(TFault Fault);

} // namespace kvt
