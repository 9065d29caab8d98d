// The text file reader on Windows.
#include "datalog/file_win32.h"
#include "datalog/text_file.h"

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
    explicit THandle(HANDLE H) : H_(H) {}
    ~THandle() { ::CloseHandle(H_); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return H_; }

private:
    HANDLE H_;
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
    const std::string tooLarge = "Is larger than " + detail::LimitText(Limit);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h, &size))
        detail::FailWin32(::GetLastError(), Path);
    if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > Limit)
        throw EFileError(EFBIG, Path, tooLarge);

    // The size may change while it is read: never more than Limit bytes are kept.
    std::string text(static_cast<size_t>(size.QuadPart) + 1, '\0');
    size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (text.size() > Limit)
                throw EFileError(EFBIG, Path, tooLarge);
            text.resize(std::min(Limit + 1, text.size() * 2 + 4096));
        }
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(text.size() - got, 1u << 30));
        if (!::ReadFile(h, text.data() + got, want, &n, nullptr))
            detail::FailWin32(::GetLastError(), Path);
        if (n == 0)
            break;
        got += n;
    }
    if (got > Limit)
        throw EFileError(EFBIG, Path, tooLarge);
    text.resize(got);
    detail::DropByteOrderMark(text);
    return text;
}

} // namespace kvt
