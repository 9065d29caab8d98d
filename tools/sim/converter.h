// The converter as the configuration program sees it: the replies and effects of each command,
// with no line in between. The simulator feeds it the frames whose CRC is right.
#pragma once

#include "protocol/frame.h"
#include "protocol/identity.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>

namespace kvt::sim {

enum class TSignalShape { Constant, Ramp, Sine, Noise };
enum class TSignalUnit { Raw, MilliAmpere, Volt, MilliVolt, Percent };

// The input signal the converter measures. Values are in Unit; engineering units are turned into
// raw AD counts with the calibration words at the time of the measurement.
struct TSignal {
    TSignalShape Shape = TSignalShape::Constant;
    TSignalUnit Unit = TSignalUnit::MilliAmpere;
    double Value = 12;     // constant value; centre of sine and noise
    double Low = 4;        // ramp start
    double High = 20;      // ramp end
    double Amplitude = 1;  // sine and noise: largest deviation from Value
    double PeriodS = 60;   // ramp and sine
};

using TWords = std::array<uint16_t, 256>;

// Plausible factory calibration and a 4-20 mA to 4-20 mA setting for the model.
TWords DefaultWords(int Model);

struct TConverterConfig {
    int Model = 10;
    int32_t FirmwareVersion = 1200160822;
    int32_t TemperatureRaw = kvt::TemperatureRaw(25);
    uint16_t ConfigType = 15;
    TWords Words = DefaultWords(10);
    TSignal Signal;
};

struct TOutputState {
    uint32_t Code = 0;       // the last code driven with CmdOutputDrive
    bool Released = true;    // true until a drive, again after CmdOutputRelease
    uint64_t Drives = 0;
    uint64_t Releases = 0;
};

class TConverter {
public:
    explicit TConverter(const TConverterConfig& Config = {});

    // The reply to a request (CRC already checked), or nothing: CmdOutputDrive, CmdOutputRelease
    // and unknown commands are not answered. Seconds is the time since start, for the signal.
    std::optional<TFrame> Handle(const TFrame& Request, double Seconds);

    // The raw AD reading of the input at that time, 0..65535.
    uint16_t Reading(double Seconds);

    TConverterConfig& Config() { return FConfig; }
    const TConverterConfig& Config() const { return FConfig; }
    uint16_t Word(uint8_t Address) const { return FConfig.Words[Address]; }
    void SetWord(uint8_t Address, uint16_t Value) { FConfig.Words[Address] = Value; }
    const TOutputState& Output() const { return FOutput; }

private:
    double SignalValue(double Seconds);
    double ToRaw(double Value) const;

    TConverterConfig FConfig;
    TOutputState FOutput;
    std::mt19937 FRandom{27};
};

} // namespace kvt::sim
