// How the tabs adapt to the converter model (SetOptions), and the other per-model and
// per-configuration switches of the option controls. The captions that go with them are the
// window's.
#pragma once

#include <cstdint>

namespace kvt {

struct TModelOptions {
    bool MillivoltInputVisible;       // RdBtnAIUL
    int OutCodeMax;                   // maximum of SpnEdtAOZero / SpnEdtAOEnd, clamping limit
    bool FilterVisible;               // GrpBxFilter
    bool NumeralTabVisible;           // TbShtNumeral
    bool NumMillivoltVisible;         // RdBtnNumAIUL
    int BarDivisor;                   // code -> bar position
};

// The table for DeviceModel 10 (KVT27) or 12 (KVT27L); nullptr for any other model, which
// changes nothing.
const TModelOptions* ModelOptions(int DeviceModel);

// Before a converter is identified the bars use the KVT27's divisor.
inline constexpr int DefaultBarDivisor = 82;

// GrpBxSignalLimit: a KVT27 above firmware 1.100/000000, or any KVT27L.
bool SignalLimitVisible(int DeviceModel, int32_t FirmwareVersion);

// Enabled states of the out-of-range reaction buttons by ConfigType.
struct TReactionEnabled {
    bool NoReaction;
    bool ZeroDrop;
    bool MaxRise;
    bool Drop35mA;
};
TReactionEnabled ReactionEnabled(int ConfigType);

// The 3.5 mA reaction is accepted only under ConfigType 0.
inline bool Drop35mAAllowed(int ConfigType) { return ConfigType == 0; }

} // namespace kvt
