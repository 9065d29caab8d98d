#include "serial/combackend.h"
#include "serial/enumports_win32.h"

#include "platform/utf8.h"

#include <stdexcept>

namespace kvt::serial {

namespace {

std::string Utf8(const wchar_t* Text, size_t Length)
{
    return kvt::platform::Utf8FromWide(std::wstring_view(Text, Length));
}

struct TKey {
    HKEY Handle = nullptr;
    ~TKey()
    {
        if (Handle != nullptr)
            RegCloseKey(Handle);
    }
};

} // namespace

void EnumSerialPortsUnder(HKEY Root, const std::wstring& SubKey, std::vector<std::string>& Names)
{
    TKey Key;
    if (RegOpenKeyExW(Root, SubKey.c_str(), 0, KEY_READ, &Key.Handle) != ERROR_SUCCESS)
        return;
    DWORD Count = 0, LongestName = 0;
    if (RegQueryInfoKeyW(Key.Handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &LongestName,
            nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    // All names first, then their data, as a value may vanish between the two.
    std::vector<std::wstring> ValueNames;
    for (DWORD i = 0; i < Count; ++i) {
        std::wstring Name(LongestName + 1, L'\0');
        DWORD Length = LongestName + 1;
        if (RegEnumValueW(Key.Handle, i, Name.data(), &Length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Name.resize(Length);
        ValueNames.push_back(std::move(Name));
    }
    for (const std::wstring& Name : ValueNames) {
        DWORD Type = 0, Size = 0;
        if (RegQueryValueExW(Key.Handle, Name.c_str(), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS)
            throw std::runtime_error("Failed to get data for '" + Utf8(Name.data(), Name.size()) + "'");
        if (Type != REG_SZ)
            continue;
        std::wstring Data(Size / sizeof(wchar_t) + 1, L'\0');
        if (Size > 0) {
            DWORD Read = Size;
            if (RegQueryValueExW(Key.Handle, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()),
                    &Read) != ERROR_SUCCESS)
                throw std::runtime_error("Failed to get data for '" + Utf8(Name.data(), Name.size()) + "'");
        }
        Data.resize(Data.find(L'\0'));
        Names.push_back(Utf8(Data.data(), Data.size()));
    }
}

} // namespace kvt::serial

void EnumSerialPorts(std::vector<std::string>& Names)
{
    kvt::serial::EnumSerialPortsUnder(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", Names);
}
