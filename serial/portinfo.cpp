#include "serial/portinfo.h"

#include <algorithm>
#include <tuple>

namespace kvt {

std::string PortDisplayText(const TPortInfo& Port)
{
    if (Port.Description.empty())
        return Port.Name;
    std::string text = Port.Name + " \u2014 " + Port.Description;
    if (!Port.SerialNumber.empty())
        text += " (" + Port.SerialNumber + ")";
    return text;
}

std::string RememberedPortName(const std::vector<TPortInfo>& Ports, const std::string& Name)
{
    for (const TPortInfo& p : Ports)
        if (p.Name == Name && !p.StableName.empty())
            return p.StableName;
    return Name;
}

std::string CurrentPortName(const std::vector<TPortInfo>& Ports, const std::string& Remembered)
{
    for (const TPortInfo& p : Ports)
        if (!p.StableName.empty() && p.StableName == Remembered)
            return p.Name;
    return Remembered;
}

namespace {

// The name cut before its trailing digits, and their value (-1 without digits).
std::tuple<std::string, long long, std::string> NameKey(const std::string& Name)
{
    size_t digits = Name.size();
    while (digits > 0 && Name[digits - 1] >= '0' && Name[digits - 1] <= '9')
        --digits;
    long long number = -1;
    if (digits < Name.size() && Name.size() - digits <= 18)
        number = std::stoll(Name.substr(digits));
    return {Name.substr(0, digits), number, Name};
}

} // namespace

void SortPortsByName(std::vector<TPortInfo>& Ports)
{
    std::stable_sort(Ports.begin(), Ports.end(),
        [](const TPortInfo& a, const TPortInfo& b) { return NameKey(a.Name) < NameKey(b.Name); });
}

} // namespace kvt
