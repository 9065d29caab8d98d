#include "tools/sim/converter.h"

#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "protocol/rounding.h"

#include <cmath>
#include <numbers>

namespace kvt::sim {

TWords DefaultWords(int Model)
{
    TWords w{};
    const bool l = Model == ModelKVT27L;
    w[WordInputMode] = 3;
    w[WordOutputMode] = 3;
    w[WordFilterType] = 0;
    w[WordLimitReaction] = 0;
    // KVT27L: 13-bit input and output.
    w[WordCalIn0mA] = l ? 1000 : 32000;
    w[WordCalIn20mA] = l ? 7000 : 62000;
    w[WordCalIn0V] = l ? 1000 : 32000;
    w[WordCalIn10V] = l ? 7500 : 60000;
    w[WordCalOut0mA] = l ? 50 : 100;
    w[WordCalOut20mA] = l ? 8050 : 16100;
    w[WordCalOut0V] = l ? 60 : 120;
    w[WordCalOut10V] = l ? 7960 : 15920;
    // Range 4-20 mA on both sides.
    w[WordInZero] = static_cast<uint16_t>(w[WordCalIn0mA] + (w[WordCalIn20mA] - w[WordCalIn0mA]) / 5);
    w[WordInEnd] = w[WordCalIn20mA];
    w[WordOutZero] = static_cast<uint16_t>(w[WordCalOut0mA] + (w[WordCalOut20mA] - w[WordCalOut0mA]) / 5);
    w[WordOutEnd] = w[WordCalOut20mA];
    return w;
}

TConverter::TConverter(const TConverterConfig& Config) : FConfig(Config) {}

double TConverter::SignalValue(double Seconds)
{
    const TSignal& s = FConfig.Signal;
    const double period = s.PeriodS > 0 ? s.PeriodS : 1;
    switch (s.Shape) {
    case TSignalShape::Constant:
        return s.Value;
    case TSignalShape::Ramp: {
        const double phase = std::fmod(Seconds, period) / period;
        return s.Low + (s.High - s.Low) * phase;
    }
    case TSignalShape::Sine:
        return s.Value + s.Amplitude * std::sin(2 * std::numbers::pi * Seconds / period);
    case TSignalShape::Noise: {
        std::uniform_real_distribution<double> d(-1.0, 1.0);
        return s.Value + s.Amplitude * d(FRandom);
    }
    }
    return s.Value;
}

double TConverter::ToRaw(double v) const
{
    const TWords& w = FConfig.Words;
    switch (FConfig.Signal.Unit) {
    case TSignalUnit::Raw:
        return v;
    case TSignalUnit::MilliAmpere:
        return w[WordCalIn0mA] + v * (double(w[WordCalIn20mA]) - w[WordCalIn0mA]) / 20;
    case TSignalUnit::Volt:
        return w[WordCalIn0V] + v * (double(w[WordCalIn10V]) - w[WordCalIn0V]) / 10;
    case TSignalUnit::MilliVolt:
        return (v + 585) * 65535.0 / 1170;
    case TSignalUnit::Percent:
        return v * 100;
    }
    return v;
}

uint16_t TConverter::Reading(double Seconds)
{
    const double raw = ToRaw(SignalValue(Seconds));
    if (!(raw > 0))
        return 0;
    if (raw >= 65535)
        return 65535;
    return static_cast<uint16_t>(RoundHalfEven(raw));
}

std::optional<TFrame> TConverter::Handle(const TFrame& Request, double Seconds)
{
    const uint8_t cmd = Request[0];
    const uint32_t param = FrameParameter(Request);
    auto word = [&](uint16_t v, uint8_t b3 = 0) {
        return BuildFrame(cmd, 0, b3, static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v));
    };
    auto dword = [&](uint32_t v) {
        return BuildFrame(cmd, static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v));
    };
    switch (cmd) {
    case CmdIdentify:
        return BuildFrame(cmd, 0, 0, Request[1], static_cast<uint8_t>(FConfig.Model));
    case CmdReadVersion:
        return dword(static_cast<uint32_t>(FConfig.FirmwareVersion));
    case CmdReadTemperature:
        return dword(static_cast<uint32_t>(FConfig.TemperatureRaw));
    case CmdReadConfig:
        return word(FConfig.ConfigType);
    case CmdReadWord:
        // The address travels in the parameter's low byte.
        return word(Word(Request[4]));
    case CmdWriteWord: {
        const uint16_t v = static_cast<uint16_t>(Request[3] << 8 | Request[4]);
        SetWord(Request[2], v);
        return word(v, Request[2]);
    }
    case CmdMeasure: {
        const uint16_t raw = Reading(Seconds);
        if (param == MeasureStoreZero)
            SetWord(WordInZero, raw);
        else if (param == MeasureStoreEnd)
            SetWord(WordInEnd, raw);
        return word(raw);
    }
    case CmdOutputDrive:
        FOutput.Code = param;
        FOutput.Released = false;
        ++FOutput.Drives;
        return std::nullopt;
    case CmdOutputRelease:
        FOutput.Released = true;
        ++FOutput.Releases;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace kvt::sim
