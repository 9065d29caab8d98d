#include "platform/append_file.h"

#include "platform/syserror.h"
#include "platform/utf8.h"

#include <windows.h>

namespace kvt {

namespace {

[[noreturn]] void Fail(DWORD Code, const std::string& File)
{
    throw EFileError(static_cast<int>(Code), File, platform::SysErrorMessage(static_cast<int>(Code)));
}

} // namespace

void AppendToFile(const std::string& File, std::string_view Data)
{
    const std::optional<std::wstring> wide = platform::WideFromUtf8(File);
    if (!wide)
        throw EFileError(ERROR_INVALID_NAME, File, "The name is not UTF-8");
    const HANDLE h = CreateFileW(wide->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        Fail(GetLastError(), File);
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        throw EFileError(ERROR_INVALID_HANDLE, File, "Is not a regular file");
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(h, Data.data(), static_cast<DWORD>(Data.size()), &written, nullptr);
    const DWORD err = GetLastError();
    if (!ok || written != Data.size()) {
        CloseHandle(h);
        Fail(ok ? ERROR_WRITE_FAULT : err, File);
    }
    if (!FlushFileBuffers(h)) {
        const DWORD flushErr = GetLastError();
        CloseHandle(h);
        Fail(flushErr, File);
    }
    CloseHandle(h);
}

std::string UserDataFolder()
{
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2)
        return {};
    return platform::Utf8FromWide(std::wstring_view(buffer, n));
}

} // namespace kvt
