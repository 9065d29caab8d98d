#include "signal/model_options.h"

#include "protocol/device_settings.h"

namespace kvt {

namespace {

constexpr TModelOptions OptionsKVT27 = {
    true,
    "0 - 10 V DC (-10 až +10V KVT27_Bu)",
    16383,
    "50% (8190bitů)",
    "100% (16380bitů)",
    true,
    true,
    true,
    "+/- 20 mA DC",
    "+/- 10 V DC",
    82,
};

constexpr TModelOptions OptionsKVT27L = {
    false,
    "0 - 10 V DC",
    8191,
    "50% (4095bitů)",
    "100% (8190bitů)",
    false,
    true,
    false,
    "0 - 20 mA DC",
    "0 - 10 V DC",
    41,
};

} // namespace

const TModelOptions* ModelOptions(int DeviceModel)
{
    if (DeviceModel == ModelKVT27)
        return &OptionsKVT27;
    if (DeviceModel == ModelKVT27L)
        return &OptionsKVT27L;
    return nullptr;
}

bool SignalLimitVisible(int DeviceModel, int32_t FirmwareVersion)
{
    return (DeviceModel == ModelKVT27 && FirmwareVersion > 1100000000) || DeviceModel == ModelKVT27L;
}

TReactionEnabled ReactionEnabled(int ConfigType)
{
    if (ConfigType == 0)
        return {true, true, true, true};
    if (ConfigType == 3 || ConfigType == 4)
        return {true, true, true, false};
    return {true, false, false, false};
}

} // namespace kvt
