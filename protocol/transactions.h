// The three transactions with the converter over a TComPort: Send (request and 7-byte reply,
// 24-bit parameter), SendEE (request and reply, address byte and 16-bit value) and DA (request
// only). Result 1: a reply was read, its CRC matched and its byte 1 echoed the command; 0: anything
// else. Nothing is retried. One transaction at a time, on one thread: they share one CRC accumulator.
#pragma once

#include "protocol/commands.h"
#include "protocol/crc16.h"
#include "serial/comport.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kvt {

class TTransactions {
public:
    // StationAddress is read at each frame build; ShowElapsed receives the transaction time in
    // milliseconds for the status bar (may be empty).
    TTransactions(TComPort& Port, const int& StationAddress, std::function<void(int Ms)> ShowElapsed);

    void Crc16(uint8_t B);
    uint16_t Crc() const { return FCrc.Value(); }

    // Reply receives the request, then the 7 bytes read. An EComError from the write or the read
    // gives 0 at once, with Elapsed and the status untouched; one raised by WaitForWrite, and any
    // other error, reaches the caller.
    int Send(uint8_t Command, uint32_t Parameter, std::string& Reply, int& Elapsed);

    // As Send, but an EComError from the write or the read is only noted: the time is always
    // taken and reported, then the result is 0.
    int SendEE(uint8_t Command, uint8_t Address, uint16_t Value, std::string& Reply, int& Elapsed);

    // Sends a frame built as Send's and reads nothing; an EComError from the write is ignored,
    // one from WaitForWrite reaches the caller.
    void DA(uint8_t Command, uint32_t Parameter);

private:
    std::string Build(uint8_t Command, uint8_t P1, uint8_t P2, uint8_t P3);
    void Report(int Ms, int& Elapsed);

    TComPort& FPort;
    const int& FStationAddress;
    std::function<void(int Ms)> FShowElapsed;
    TCrc16 FCrc;
};

} // namespace kvt
