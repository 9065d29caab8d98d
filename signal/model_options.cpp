#include "signal/model_options.h"

#include "protocol/device_settings.h"

namespace kvt {

namespace {

constexpr TModelOptions OptionsKVT27 = {
    true,
    16383,
    true,
    true,
    true,
    82,
};

constexpr TModelOptions OptionsKVT27L = {
    false,
    8191,
    false,
    true,
    false,
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
