#include "signal/signal_kind.h"

#include <array>

namespace kvt {

namespace {

constexpr std::array<std::string_view, 11> ConfigTexts = {
    "0/4 - 20 mA DC na 0/4 - 20 mA DC",
    "0 - 20 mA DC na 0/4 - 20 mA DC",
    "0 - 20 mA DC na 0 - 10 V DC",
    "4 - 20 mA DC na 0 - 20 mA DC",
    "4 - 20 mA DC na 0 - 10 V DC",
    "0 - 10 V DC na 0 - 20 mA DC",
    "0 - 10 V DC na 4 - 20 V DC",
    "0 - 10 V DC na 0 - 10 V DC",
    "Odporový vysílač na 0 - 20 mA DC",
    "Odporový vysílač na 4 - 20 mA DC",
    "Odporový vysílač DC na 0 - 10 V DC",
};

constexpr std::array<std::string_view, 11> ConfigTextsEnglish = {
    "0/4 - 20 mA DC to 0/4 - 20 mA DC",
    "0 - 20 mA DC to 0/4 - 20 mA DC",
    "0 - 20 mA DC to 0 - 10 V DC",
    "4 - 20 mA DC to 0 - 20 mA DC",
    "4 - 20 mA DC to 0 - 10 V DC",
    "0 - 10 V DC to 0 - 20 mA DC",
    "0 - 10 V DC to 4 - 20 V DC",
    "0 - 10 V DC to 0 - 10 V DC",
    "Potentiometer to 0 - 20 mA DC",
    "Potentiometer to 4 - 20 mA DC",
    "Potentiometer DC to 0 - 10 V DC",
};

} // namespace

TConfigClass ConfigClassOf(int ConfigType)
{
    if (ConfigType >= 0 && ConfigType <= 10)
        return TConfigClass::Dip;
    if (ConfigType >= 11 && ConfigType <= 14)
        return TConfigClass::NotAllowed;
    if (ConfigType == ConfigTypePc)
        return TConfigClass::Pc;
    return TConfigClass::Unknown;
}

std::string_view ConfigTypeText(int ConfigType)
{
    if (ConfigType >= 0 && ConfigType < static_cast<int>(ConfigTexts.size()))
        return ConfigTexts[static_cast<size_t>(ConfigType)];
    return {};
}

TSignalKind SignalKindOf(int ConfigType, int InputMode)
{
    if (ConfigType >= 0 && ConfigType <= 4)
        return TSignalKind::Current;
    if (ConfigType >= 5 && ConfigType <= 7)
        return TSignalKind::Voltage;
    if (ConfigType >= 8 && ConfigType <= 10)
        return TSignalKind::Percent;
    if (ConfigType != ConfigTypePc)
        return TSignalKind::None;
    switch (InputMode) {
    case InputModeCurrent:
        return TSignalKind::Current;
    case InputModeVoltage:
        return TSignalKind::Voltage;
    case InputModeMillivolt:
        return TSignalKind::Millivolt;
    case InputModePercent:
        return TSignalKind::Percent;
    default:
        return TSignalKind::None;
    }
}

std::string_view ConfigTypeTextEnglish(int ConfigType)
{
    if (ConfigType >= 0 && ConfigType < static_cast<int>(ConfigTextsEnglish.size()))
        return ConfigTextsEnglish[static_cast<size_t>(ConfigType)];
    return {};
}

} // namespace kvt
