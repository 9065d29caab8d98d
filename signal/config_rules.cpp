#include "signal/config_rules.h"

#include "protocol/word_names.h"
#include "signal/model_options.h"
#include "signal/signal_kind.h"
#include "signal/config_error.h"

namespace kvt {

std::string ConfigTypeDescription(int ConfigType)
{
    switch (ConfigClassOf(ConfigType)) {
    case TConfigClass::Dip:
        return std::string(ConfigTypeText(ConfigType)) + " (set by the DIP switches)";
    case TConfigClass::NotAllowed:
        return MsgBadConfigText;
    case TConfigClass::Pc:
        return "settings from the PC (PC mode)";
    case TConfigClass::Unknown:
        break;
    }
    return "not a position of the DIP switches";
}

std::string InputModeMeaning(int Value)
{
    switch (Value) {
    case InputModeCurrent:
        return "current input 0-20 mA";
    case InputModeVoltage:
        return "voltage input 0-10 V";
    case InputModeMillivolt:
        return "millivolt input +/-585 mV";
    case InputModePercent:
        return "resistance transmitter / potentiometer 0-100 %";
    default:
        return {};
    }
}

std::string OutputModeMeaning(int Value)
{
    switch (Value) {
    case OutputModeCurrent:
        return "current output 0-20 mA";
    case OutputModeVoltage:
        return "voltage output 0-10 V";
    default:
        return {};
    }
}

std::string FilterMeaning(int Value)
{
    switch (Value) {
    case 0:
        return "no filter (about 180 ms)";
    case 1:
        return "moving average (about 600 ms)";
    case 2:
        return "polynomial filter (about 400 ms)";
    default:
        return {};
    }
}

std::string ReactionMeaning(int Value)
{
    switch (Value) {
    case 0:
        return "no reaction";
    case 1:
        return "output set to 0 mA or 0 V";
    case 2:
        return "output set above 21 mA or to 10.4 V";
    case 3:
        return "output set to 3.5 mA";
    default:
        return {};
    }
}

std::string WordMeaning(uint8_t Address, int Value)
{
    switch (Address) {
    case WordInputMode:
        return InputModeMeaning(Value);
    case WordOutputMode:
        return OutputModeMeaning(Value);
    case WordFilterType:
        return FilterMeaning(Value);
    case WordLimitReaction:
        return ReactionMeaning(Value);
    default:
        return {};
    }
}

int EffectiveInputMode(const TDeviceSettings& Settings)
{
    switch (SignalKindOf(Settings.ConfigType, Settings.InputMode)) {
    case TSignalKind::Current:
        return InputModeCurrent;
    case TSignalKind::Voltage:
        return InputModeVoltage;
    case TSignalKind::Millivolt:
        return InputModeMillivolt;
    case TSignalKind::Percent:
        return InputModePercent;
    case TSignalKind::None:
        break;
    }
    return 0;
}

int EffectiveOutputMode(const TDeviceSettings& Settings)
{
    const int c = Settings.ConfigType;
    if (c == ConfigTypePc)
        return Settings.OutputMode == OutputModeCurrent || Settings.OutputMode == OutputModeVoltage ? Settings.OutputMode : 0;
    // The output side of each DIP position ("... na 0 - 10 V DC" for 2, 4, 7 and 10).
    if (c >= 0 && c <= 10)
        return c == 2 || c == 4 || c == 7 || c == 10 ? OutputModeVoltage : OutputModeCurrent;
    return 0;
}

void RequireUsableConfig(const TDeviceSettings& Settings)
{
    const TConfigClass c = ConfigClassOf(Settings.ConfigType);
    if (c == TConfigClass::NotAllowed)
        throw EConfigError(TConfigFault::Refused, "configuration " + std::to_string(Settings.ConfigType) + ": " + MsgBadConfigText);
    if (c == TConfigClass::Unknown)
        throw EConfigError(TConfigFault::Refused, "configuration " + std::to_string(Settings.ConfigType) +
                " is not a position of the DIP switches; the converter cannot be configured");
}

bool WritableWord(uint8_t Address)
{
    switch (Address) {
    case WordInputMode:
    case WordOutputMode:
    case WordFilterType:
    case WordInZero:
    case WordInEnd:
    case WordOutZero:
    case WordOutEnd:
    case WordLimitReaction:
        return true;
    default:
        return false;
    }
}

TValueCheck CheckWordValue(uint8_t Address, long long Value, const TDeviceSettings& Settings, std::string& Message)
{
    const std::string name = WordName(Address);
    const TModelOptions* model = ModelOptions(Settings.DeviceModel);
    auto outside = [&](long long Low, long long High, const std::string& Why) {
        if (Value >= Low && Value <= High)
            return false;
        Message = name + " " + std::to_string(Value) + " is out of range: " + Why;
        return true;
    };
    switch (Address) {
    case WordInputMode:
        if (outside(3, 6, "3 current, 4 voltage, 5 millivolt, 6 resistance transmitter"))
            return TValueCheck::BadValue;
        if (Value == InputModeMillivolt && model && !model->MillivoltInputVisible) {
            Message = "a KVT27L has no millivolt input";
            return TValueCheck::Refused;
        }
        return TValueCheck::Ok;
    case WordOutputMode:
        return outside(3, 4, "3 current, 4 voltage") ? TValueCheck::BadValue : TValueCheck::Ok;
    case WordFilterType:
        if (outside(0, 2, "0 no filter, 1 moving average, 2 polynomial filter"))
            return TValueCheck::BadValue;
        if (model && !model->FilterVisible) {
            Message = "a KVT27L has no input filter";
            return TValueCheck::Refused;
        }
        return TValueCheck::Ok;
    case WordLimitReaction:
        if (outside(0, 3, "0 no reaction, 1 output 0 mA / 0 V, 2 output above 21 mA / 10.4 V, 3 output 3.5 mA"))
            return TValueCheck::BadValue;
        if (!SignalLimitVisible(Settings.DeviceModel, Settings.FirmwareVersion)) {
            Message = "this converter's firmware has no reaction to an out-of-range input (it needs a KVT27 above "
                      "firmware 1.100/000000, or a KVT27L)";
            return TValueCheck::Refused;
        }
        if (Value == 3 && !Drop35mAAllowed(Settings.ConfigType)) {
            Message = MsgDropOnlyCurrentText;
            return TValueCheck::Refused;
        }
        return TValueCheck::Ok;
    case WordInZero:
    case WordInEnd:
        return outside(0, 65535, "an input word holds 0..65535") ? TValueCheck::BadValue : TValueCheck::Ok;
    case WordOutZero:
    case WordOutEnd: {
        const int max = model ? model->OutCodeMax : 65535;
        return outside(0, max, "the highest output code of a " + std::string(Settings.DeviceModel == ModelKVT27L ? "KVT27L" : "KVT27") +
                           " is " + std::to_string(max))
            ? TValueCheck::BadValue
            : TValueCheck::Ok;
    }
    default:
        Message = name.empty() ? "word " + std::to_string(Address) + " is not a settings word"
                               : name + " is a calibration word: it is never written";
        return TValueCheck::BadValue;
    }
}

} // namespace kvt
