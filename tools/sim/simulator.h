// A KVT27 / KVT27L converter on a pseudo-terminal, for tests and for users without hardware.
// Start() creates the line and a thread that answers frames until Stop(). Every setter and getter
// is thread-safe and may be used while it runs.
#pragma once

#include "protocol/frame.h"
#include "tools/sim/converter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kvt::sim {

class TPseudoTerminal;

// Misbehaviour on request, and the line speed. Frame numbers count the frames with a good CRC
// since Start(), from 1.
struct TFaults {
    bool Mute = false;            // answer nothing at all
    int NoReplyToFrame = 0;       // leave frame number N unanswered (0: off)
    int NoReplyToCommand = -1;    // never answer this command code
    int NoReplyToWord = -1;       // never answer a read or write of this word address
    int OnlyCommand = -1;         // >= 0: the reply faults below touch only replies to this command
    bool BadCrc = false;          // one bit of the reply's CRC flipped
    bool SwapCrc = false;         // the reply's CRC bytes in the wrong order
    bool WrongEcho = false;       // reply byte 1 is another command's code (CRC valid for it)
    bool WrongStation = false;    // identify reply byte 4 is not the request's station address
    int TruncateAt = 0;           // send only the first N bytes of each reply (1..6; 0: off)
    int SplitAt = 0;              // send the first N bytes, pause SplitPauseMs, then the rest (1..6)
    int SplitPauseMs = 0;
    int ReplyDelayMs = 0;         // wait before each reply
    int DelayFrame = 0;           // > 0: ReplyDelayMs holds for the reply to this frame only
    int HangUpAfterFrames = 0;    // answer N frames, then hang up as frame N+1 arrives (0: off)
    int LineBaud = 0;             // take as long as a line at this speed (8N1) for requests and replies; 0: instant
};

struct TCounters {
    uint64_t Frames = 0;        // requests with a good CRC
    uint64_t Replies = 0;       // replies sent, corrupted ones included
    uint64_t Unanswered = 0;    // frames not answered: no-reply commands and faults
    uint64_t SkippedBytes = 0;  // bytes dropped while looking for a frame
    uint64_t BytesIn = 0;
    uint64_t BytesOut = 0;
    uint64_t DroppedBytes = 0;  // reply bytes nobody took off the line
};

class TSimulator {
public:
    explicit TSimulator(const TConverterConfig& Config = {});
    ~TSimulator();
    TSimulator(const TSimulator&) = delete;
    TSimulator& operator=(const TSimulator&) = delete;

    // Creates the pseudo-terminal and starts answering; throws std::runtime_error on failure.
    // After Stop() it may start again, on a new device, with counters and frame list cleared.
    void Start();
    // Ends the thread and removes the line. Safe to call more than once.
    void Stop();
    bool Running() const;
    // The device a client opens, e.g. "/dev/pts/7"; empty before Start().
    std::string DevicePath() const;

    // Closes the line now, as a pulled cable or a power cut: a client sees a hang-up. The
    // simulator stops answering; Stop() is still to be called (the destructor does).
    void HangUp();
    bool HungUp() const;

    // Converter state.
    void SetWord(uint8_t Address, uint16_t Value);
    uint16_t Word(uint8_t Address) const;
    TWords Words() const;
    void SetSignal(const TSignal& Signal);
    void SetModel(int Model);
    void SetFirmwareVersion(int32_t Version);
    void SetTemperatureRaw(int32_t Raw);
    void SetConfigType(uint16_t ConfigType);
    TConverterConfig Config() const;
    TOutputState Output() const;

    void SetFaults(const TFaults& Faults);
    TFaults Faults() const;

    // Each frame received and sent, decoded, one line per call, from the simulator's thread.
    void SetTrace(std::function<void(const std::string& Line)> Sink);

    // Frames with a good CRC, in order of arrival.
    std::vector<TFrame> Received() const;
    void ClearReceived();
    TCounters Counters() const;

    // Waits until at least Count frames have been handled (answered or not) since Start().
    bool WaitForFrames(uint64_t Count, std::chrono::milliseconds Timeout) const;

private:
    void Run();
    void HandleFrame(const TFrame& Request, std::chrono::steady_clock::time_point Arrived);
    bool SendReply(const TFrame& Reply, int SplitAt, int SplitPauseMs, int Length, int Baud);
    bool WriteAll(const uint8_t* Data, std::size_t Length);
    bool SleepUntil(std::chrono::steady_clock::time_point When);
    void Trace(const std::string& Line);
    void CloseLine();

    mutable std::mutex FMutex;
    mutable std::condition_variable FHandled;
    TConverter FConverter;
    TFaults FFaults;
    TCounters FCounters;
    std::vector<TFrame> FReceived;
    uint64_t FHandledFrames = 0;

    std::mutex FTraceMutex;
    std::function<void(const std::string&)> FTrace;

    std::unique_ptr<TPseudoTerminal> FPty;
    std::string FDevicePath;
    std::thread FThread;
    int FWake[2] = {-1, -1};
    std::atomic<bool> FStop{false};
    std::atomic<bool> FHangUpRequest{false};
    std::atomic<bool> FHungUp{false};
    std::chrono::steady_clock::time_point FStart;
};

} // namespace kvt::sim
