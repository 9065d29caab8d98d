#include "protocol/word_names.h"

#include <cctype>

namespace kvt {

const std::array<TSettingsWordRow, 16> SettingsWords = {{
    {WordInputMode, &TDeviceSettings::InputMode, "InputMode"},
    {WordOutputMode, &TDeviceSettings::OutputMode, "OutputMode"},
    {WordFilterType, &TDeviceSettings::FilterType, "FilterType"},
    {WordInZero, &TDeviceSettings::InZero, "InZero"},
    {WordInEnd, &TDeviceSettings::InEnd, "InEnd"},
    {WordOutZero, &TDeviceSettings::OutZero, "OutZero"},
    {WordOutEnd, &TDeviceSettings::OutEnd, "OutEnd"},
    {WordLimitReaction, &TDeviceSettings::LimitReaction, "LimitReaction"},
    {WordCalIn0mA, &TDeviceSettings::CalIn0mA, "CalIn0mA"},
    {WordCalIn20mA, &TDeviceSettings::CalIn20mA, "CalIn20mA"},
    {WordCalOut0mA, &TDeviceSettings::CalOut0mA, "CalOut0mA"},
    {WordCalOut20mA, &TDeviceSettings::CalOut20mA, "CalOut20mA"},
    {WordCalIn0V, &TDeviceSettings::CalIn0V, "CalIn0V"},
    {WordCalIn10V, &TDeviceSettings::CalIn10V, "CalIn10V"},
    {WordCalOut0V, &TDeviceSettings::CalOut0V, "CalOut0V"},
    {WordCalOut10V, &TDeviceSettings::CalOut10V, "CalOut10V"},
}};

const TSettingsWordRow* FindSettingsWord(uint8_t Address)
{
    for (const TSettingsWordRow& w : SettingsWords)
        if (w.Address == Address)
            return &w;
    return nullptr;
}

std::string WordName(uint8_t Address)
{
    const TSettingsWordRow* w = FindSettingsWord(Address);
    return w != nullptr ? w->Name : std::string();
}

int WordAddressByName(const std::string& Name)
{
    for (const TSettingsWordRow& w : SettingsWords) {
        const std::string n = w.Name;
        if (n.size() != Name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < n.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(n[i])) == std::tolower(static_cast<unsigned char>(Name[i]));
        if (same)
            return w.Address;
    }
    return -1;
}

int WordValue(const TDeviceSettings& Settings, uint8_t Address)
{
    const TSettingsWordRow* w = FindSettingsWord(Address);
    return w != nullptr ? Settings.*(w->Field) : 0;
}

} // namespace kvt
