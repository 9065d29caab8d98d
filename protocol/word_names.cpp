#include "protocol/word_names.h"

#include "protocol/device_settings.h"

#include <cctype>

namespace kvt {

const std::array<TWordName, 16> SettingsWordNames = {{
    {WordInputMode, "InputMode"},
    {WordOutputMode, "OutputMode"},
    {WordFilterType, "FilterType"},
    {WordInZero, "InZero"},
    {WordInEnd, "InEnd"},
    {WordOutZero, "OutZero"},
    {WordOutEnd, "OutEnd"},
    {WordLimitReaction, "LimitReaction"},
    {WordCalIn0mA, "CalIn0mA"},
    {WordCalIn20mA, "CalIn20mA"},
    {WordCalOut0mA, "CalOut0mA"},
    {WordCalOut20mA, "CalOut20mA"},
    {WordCalIn0V, "CalIn0V"},
    {WordCalIn10V, "CalIn10V"},
    {WordCalOut0V, "CalOut0V"},
    {WordCalOut10V, "CalOut10V"},
}};

std::string WordName(uint8_t Address)
{
    for (const auto& w : SettingsWordNames)
        if (w.Address == Address)
            return w.Name;
    return {};
}

int WordAddressByName(const std::string& Name)
{
    for (const auto& w : SettingsWordNames) {
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

} // namespace kvt
