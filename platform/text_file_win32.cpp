// The text file reader on Windows.
#include "platform/file_win32.h"
#include "platform/text_file.h"

#include <algorithm>
#include <cerrno>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace kvt {

namespace {

class THandle {
public:
    explicit THandle(HANDLE H) : FHandle(H) {}
    ~THandle() { ::CloseHandle(FHandle); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return FHandle; }

private:
    HANDLE FHandle;
};

} // namespace

std::string ReadTextFile(const std::string& Path, std::size_t Limit)
{
    // Looked at before it is opened: opening a device or a pipe may act on it or wait.
    detail::RefuseDeviceName(Path);
    const std::wstring wide = detail::WidePath(Path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
        detail::FailWin32(::GetLastError(), Path);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw EFileError(EISDIR, Path, "Is a folder");
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        detail::FailWin32(::GetLastError(), Path);
    THandle file(h);
    if (::GetFileType(h) != FILE_TYPE_DISK)
        throw EFileError(EINVAL, Path, "Is not a regular file");
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h, &size))
        detail::FailWin32(::GetLastError(), Path);
    return detail::ReadBounded(
        [&](char* Buffer, std::size_t Room) -> std::size_t {
            DWORD n = 0;
            if (!::ReadFile(h, Buffer, static_cast<DWORD>(std::min<std::size_t>(Room, 1u << 30)), &n, nullptr))
                detail::FailWin32(::GetLastError(), Path);
            return n;
        },
        size.QuadPart < 0 ? ~0ULL : static_cast<unsigned long long>(size.QuadPart), Limit, Path);
}

} // namespace kvt
