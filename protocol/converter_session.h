// One converter on one port: the transactions, the station address, and the converter's
// operations, each of which says what happened. The window and kvt27ctl both talk through it, so
// the rules for a converter that fails (which request, how, what is retried) live here once.
#pragma once

#include "protocol/device_settings.h"
#include "protocol/transactions.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>

namespace kvt {

// What went wrong in an operation: the request that failed and how. Fault None: all went well.
struct TOutcome {
    TFault Fault = TFault::None;
    uint8_t Command = 0;
    uint32_t Parameter = 0; // the request's parameter; the word address for read and write word
    std::string Detail;     // the port's text for LineFailed, what was wrong for NotConverter

    bool Ok() const { return Fault == TFault::None; }
    // English, for kvt27ctl and traces: "no reply to read word 10 (InZero)".
    std::string Describe() const;
    static TOutcome Of(const TExchange& X);
};

template <typename T>
struct TResult {
    TOutcome Outcome;
    T Value{};
    bool Ok() const { return Outcome.Ok(); }
};

// The identification values, each present once its reply was read (a failure leaves the later
// ones empty).
struct TIdentity {
    std::optional<int> DeviceModel;
    std::optional<int> EchoedStation;
    std::optional<int32_t> FirmwareVersion;
    std::optional<int32_t> TemperatureRaw; // KVT27 only
    std::optional<int> ConfigType;
};

// The eighteen words of a settings load, in the order they were read.
struct TLoadedWords {
    std::array<uint16_t, 18> Rows{};
    // The output codes read for the code fields (the first reads of words 14 and 16).
    uint16_t CodeFieldZero() const { return Rows[2]; }
    uint16_t CodeFieldEnd() const { return Rows[3]; }
    // The sixteen words into the record.
    void ApplyTo(TDeviceSettings& Settings) const;
};

class TConverterSession {
public:
    // ShowElapsed receives each transaction time for a status display (may be empty).
    explicit TConverterSession(TComPort& Port, std::function<void(int Ms)> ShowElapsed = {});

    TComPort& Port() { return FPort; }
    int StationAddress() const { return FStationAddress; }
    // A new random station address 1..254, used from the next frame on.
    int NewStationAddress();
    void Seed(uint64_t Value) { FRandom.seed(static_cast<std::mt19937::result_type>(Value)); }

    // Every transaction, as it ended (for a trace of the line); empty costs nothing.
    void SetObserver(std::function<void(const TExchange&)> Observer) { FTransactions.SetObserver(std::move(Observer)); }

    // Identify (the station echo checked), firmware version, the model checked, temperature for a
    // KVT27, configuration. An identify reply that may be a late one for an earlier user of the
    // line is asked for once more. A device that echoes another station or names another model is
    // NotConverter; nothing after that request is sent.
    TResult<TIdentity> Identify();
    // What a search asks of a port: the identify request alone, then, when a KVT27 or KVT27L
    // answered it with this station, its version. Two reads, nothing written, nothing asked twice.
    TResult<TIdentity> Probe();

    // The eighteen reads of the settings load. A word that does not read is asked once more, after
    // the line has settled; a second failure ends the load, and so does anything that arrives
    // after the repeat was answered (a late reply is never taken for another request's).
    // BeforeRow(k), k = 1..18, runs before each row's first request.
    TResult<TLoadedWords> LoadSettings(const std::function<void(int Row)>& BeforeRow = {});

    TResult<uint16_t> ReadWord(uint8_t Address);
    // One word read as the load reads each: asked once more when it does not read.
    TResult<uint16_t> ReadWordRetried(uint8_t Address);
    TOutcome WriteWord(uint8_t Address, uint16_t Value);

    // A write, and when it failed after its request went out, what the converter holds now: the
    // word is read back once the line has settled, if the line still allows it.
    struct TWordWrite {
        TOutcome Outcome;
        bool Sent = false;             // the request went out: a failed write may have been stored
        std::optional<uint16_t> Holds; // the word read back after a failed write
        bool Ok() const { return Outcome.Ok(); }
        // Failed, but the converter may have stored it.
        bool Unknown() const { return !Outcome.Ok() && Sent; }
    };
    TWordWrite WriteWordOrReadBack(uint8_t Address, uint16_t Value);
    // CmdMeasure: the raw reading (parameter 0 and 1 also store it as the input range begin / end).
    TResult<uint16_t> Measure(uint32_t Parameter);
    TOutcome DriveOutput(uint16_t Code);
    TOutcome ReleaseOutput();

    // A reply's time: the port's read limit for one frame (800 ms with the converter's settings).
    int ReplyLimitMs();
    // After a request whose reply did not come as it should, the converter may still be sending:
    // waits until the line has been quiet for twice a reply's time and drops what came (shown to
    // the observer as Failed's late reply). False when the line failed, or never fell quiet.
    bool SettleLine(const TExchange& Failed);

private:
    // The transactions themselves: the session's own, so that every frame goes out by its rules.
    TExchange Send(uint8_t Command, uint32_t Parameter) { return FTransactions.Send(Command, Parameter); }
    TExchange SendEE(uint8_t Command, uint8_t Address, uint16_t Value)
    {
        return FTransactions.SendEE(Command, Address, Value);
    }
    TExchange DA(uint8_t Command, uint32_t Parameter) { return FTransactions.DA(Command, Parameter); }

    // After a repeated request was answered: nothing more may come within twice a reply's time,
    // or the answer taken may have been the late one to the first request. LateReply otherwise.
    TOutcome ExpectQuiet(const TExchange& Repeat);
    // Reads what arrives until the line has been quiet for QuietMs (or the line fails, or
    // LimitMs passes); Bytes receives it. False unless the line fell quiet.
    bool Drain(int QuietMs, int LimitMs, std::string& Bytes);

    TComPort& FPort;
    int FStationAddress = 0;
    std::mt19937 FRandom{std::random_device{}()};
    TTransactions FTransactions;
};

} // namespace kvt
