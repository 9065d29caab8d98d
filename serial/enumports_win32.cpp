#include "serial/combackend.h"
#include "serial/enumports_win32.h"

#include "platform/utf8.h"

#include <setupapi.h>

#include <algorithm>
#include <cwctype>
#include <stdexcept>

namespace kvt::serial {

namespace {

std::string Utf8(const wchar_t* Text, size_t Length)
{
    return kvt::platform::Utf8FromWide(std::wstring_view(Text, Length));
}

std::string Utf8(const std::wstring& Text)
{
    return Utf8(Text.data(), Text.size());
}

struct TKey {
    HKEY Handle = nullptr;
    ~TKey()
    {
        if (Handle != nullptr && Handle != INVALID_HANDLE_VALUE)
            RegCloseKey(Handle);
    }
};

// A plain string value, cut at its first NUL; false when it is not there (it vanished) or is of
// another type.
bool ReadString(HKEY Key, const std::wstring& Name, std::wstring& Data)
{
    // The value may grow between the size query and the read: asked again then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD Type = 0, Size = 0;
        if (RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS || Type != REG_SZ)
            return false;
        Data.assign(Size / sizeof(wchar_t) + 1, L'\0');
        DWORD Read = Size;
        const LONG r = Size == 0 ? ERROR_SUCCESS
                                 : RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Read);
        if (r == ERROR_MORE_DATA)
            continue;
        if (r != ERROR_SUCCESS || Type != REG_SZ)
            return false;
        Data.resize(Data.find(L'\0'));
        return true;
    }
    return false;
}

// The device manager's class of ports (COM and LPT).
const GUID PortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::wstring DeviceProperty(HDEVINFO Set, SP_DEVINFO_DATA& Device, DWORD Property)
{
    DWORD Type = 0, Size = 0;
    SetupDiGetDeviceRegistryPropertyW(Set, &Device, Property, &Type, nullptr, 0, &Size);
    if (Size == 0 || (Type != REG_SZ && Type != REG_MULTI_SZ))
        return {};
    std::wstring Text(Size / sizeof(wchar_t) + 1, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(Set, &Device, Property, &Type, reinterpret_cast<BYTE*>(Text.data()), Size, nullptr))
        return {};
    Text.resize(Text.find(L'\0')); // of a list, its first entry
    return Text;
}

std::vector<TPortInfo> DeviceManagerPorts()
{
    std::vector<TPortInfo> Ports;
    const HDEVINFO Set = SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (Set == INVALID_HANDLE_VALUE)
        return Ports;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA Device{};
        Device.cbSize = sizeof Device;
        if (!SetupDiEnumDeviceInfo(Set, i, &Device))
            break;
        std::wstring PortName;
        {
            TKey Key;
            Key.Handle = SetupDiOpenDevRegKey(Set, &Device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            if (Key.Handle == INVALID_HANDLE_VALUE || !ReadString(Key.Handle, L"PortName", PortName))
                continue;
        }
        // Printer ports are of the same class.
        if (PortName.size() < 4 || _wcsnicmp(PortName.c_str(), L"COM", 3) != 0)
            continue;
        TPortInfo Port;
        Port.Name = Utf8(PortName);
        Port.Description = PortDescription(Utf8(DeviceProperty(Set, Device, SPDRP_FRIENDLYNAME)),
            Utf8(DeviceProperty(Set, Device, SPDRP_DEVICEDESC)), Port.Name);
        Port.Manufacturer = Utf8(DeviceProperty(Set, Device, SPDRP_MFG));
        Port.HardwareId = Utf8(DeviceProperty(Set, Device, SPDRP_HARDWAREID));
        DWORD Size = 0;
        SetupDiGetDeviceInstanceIdW(Set, &Device, nullptr, 0, &Size);
        std::wstring Id(Size + 1, L'\0');
        if (Size > 0 && SetupDiGetDeviceInstanceIdW(Set, &Device, Id.data(), Size + 1, nullptr)) {
            Id.resize(Id.find(L'\0'));
            Port.SerialNumber = SerialNumberFromInstanceId(Utf8(Id));
        }
        // Windows gives an adapter with a serial number the same COM number wherever it is plugged in.
        if (!Port.SerialNumber.empty())
            Port.StableName = Port.Name;
        Ports.push_back(std::move(Port));
    }
    SetupDiDestroyDeviceInfoList(Set);
    return Ports;
}

std::string Upper(std::string Text)
{
    for (char& c : Text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return Text;
}

} // namespace

void ReadPortValues(HKEY Key, const std::vector<std::wstring>& ValueNames, std::vector<std::string>& Names)
{
    for (const std::wstring& Name : ValueNames) {
        std::wstring Data;
        if (ReadString(Key, Name, Data))
            Names.push_back(Utf8(Data));
    }
}

void EnumSerialPortsUnder(HKEY Root, const std::wstring& SubKey, std::vector<std::string>& Names)
{
    TKey Key;
    if (RegOpenKeyExW(Root, SubKey.c_str(), 0, KEY_READ, &Key.Handle) != ERROR_SUCCESS)
        return;
    DWORD Count = 0, LongestName = 0;
    if (RegQueryInfoKeyW(Key.Handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &LongestName,
            nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    // All names first, then their data; a value may vanish between the two.
    std::vector<std::wstring> ValueNames;
    for (DWORD i = 0; i < Count; ++i) {
        std::wstring Name(LongestName + 1, L'\0');
        DWORD Length = LongestName + 1;
        if (RegEnumValueW(Key.Handle, i, Name.data(), &Length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Name.resize(Length);
        ValueNames.push_back(std::move(Name));
    }
    ReadPortValues(Key.Handle, ValueNames, Names);
}

std::string PortDescription(const std::string& FriendlyName, const std::string& DeviceDescription,
    const std::string& PortName)
{
    const std::string Suffix = " (" + PortName + ")";
    if (FriendlyName.size() > Suffix.size()
        && Upper(FriendlyName.substr(FriendlyName.size() - Suffix.size())) == Upper(Suffix))
        return FriendlyName.substr(0, FriendlyName.size() - Suffix.size());
    if (!FriendlyName.empty() && Upper(FriendlyName) != Upper(PortName))
        return FriendlyName;
    return DeviceDescription;
}

std::string SerialNumberFromInstanceId(const std::string& InstanceId)
{
    const size_t First = InstanceId.find('\\');
    const size_t Last = InstanceId.rfind('\\');
    if (First == std::string::npos || Last == First)
        return {};
    const std::string Bus = Upper(InstanceId.substr(0, First));
    if (Bus == "FTDIBUS") {
        // VID_0403+PID_6001+A50285BIA: the serial number is the third field.
        const std::string Middle = InstanceId.substr(First + 1, Last - First - 1);
        const size_t a = Middle.find('+');
        const size_t b = a == std::string::npos ? a : Middle.find('+', a + 1);
        return b == std::string::npos ? std::string() : Middle.substr(b + 1);
    }
    if (Bus != "USB")
        return {};
    // The system's own IDs for devices without a serial number hold '&'.
    const std::string Tail = InstanceId.substr(Last + 1);
    return Tail.find('&') == std::string::npos ? Tail : std::string();
}

std::vector<TPortInfo> MergePorts(std::vector<TPortInfo> Devices, const std::vector<std::string>& DeviceMap)
{
    std::vector<TPortInfo> Ports;
    auto Listed = [&](const std::string& Name) {
        return std::any_of(Ports.begin(), Ports.end(), [&](const TPortInfo& p) { return Upper(p.Name) == Upper(Name); });
    };
    for (TPortInfo& Port : Devices)
        if (!Port.Name.empty() && !Listed(Port.Name))
            Ports.push_back(std::move(Port));
    for (const std::string& Name : DeviceMap)
        if (!Name.empty() && !Listed(Name))
            Ports.push_back(TPortInfo{Name, {}, {}, {}, {}, {}, false, {}});
    SortPortsByName(Ports);
    return Ports;
}

} // namespace kvt::serial

std::vector<kvt::TPortInfo> kvt::SystemPorts()
{
    std::vector<std::string> DeviceMap;
    kvt::serial::EnumSerialPortsUnder(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", DeviceMap);
    return kvt::serial::MergePorts(kvt::serial::DeviceManagerPorts(), DeviceMap);
}

std::vector<kvt::TPortInfo> kvt::SystemPortsUnder(const std::string&, const std::string&)
{
    return kvt::SystemPorts();
}

void EnumSerialPorts(std::vector<std::string>& Names)
{
    for (const kvt::TPortInfo& Port : kvt::SystemPorts())
        Names.push_back(Port.Name);
}
