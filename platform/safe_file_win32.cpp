// The safe writer on Windows.
#include "platform/safe_file.h"
#include "platform/file_win32.h"
#include "platform/syserror.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <optional>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <aclapi.h>

namespace kvt {

namespace detail {

namespace {

int ErrnoOf(DWORD Code)
{
    switch (Code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_INVALID_NAME:
        return EINVAL;
    default:
        return EIO;
    }
}

// The position after the folder part: after the last '\', '/' or drive colon.
size_t BaseStart(const std::wstring& Path)
{
    const size_t sep = Path.find_last_of(L"\\/:");
    return sep == std::wstring::npos ? 0 : sep + 1;
}

} // namespace

std::wstring WidePath(const std::string& Name)
{
    if (Name.empty())
        throw EFileError(ENOENT, Name, "No file name");
    std::optional<std::wstring> wide = platform::WideFromUtf8(Name);
    if (!wide)
        throw EFileError(EINVAL, Name, "The name is not UTF-8");
    return std::move(*wide);
}

void FailWin32(unsigned long Code, const std::string& Name)
{
    throw EFileError(ErrnoOf(Code), Name, platform::SysErrorMessage(static_cast<int>(Code)));
}

void RefuseDeviceName(const std::string& Name)
{
    const std::wstring path = WidePath(Name);
    if (path.size() >= 4 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/') &&
        path[2] == L'.' && (path[3] == L'\\' || path[3] == L'/'))
        throw EFileError(EINVAL, Name, "Is a device, not a regular file");
    // CON, PRN, AUX, NUL, COM1..9, LPT1..9, also with an extension ("nul.txt") or trailing blanks.
    std::wstring base = path.substr(BaseStart(path));
    base = base.substr(0, base.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const Devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    bool device = false;
    for (const wchar_t* d : Devices)
        device = device || base == d;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) && base[3] >= L'0' &&
        base[3] <= L'9')
        device = true;
    if (device)
        throw EFileError(EINVAL, Name, "Is a device, not a regular file");
}

bool IsLinkReparseTag(unsigned long Tag)
{
    return IsReparseTagNameSurrogate(Tag);
}

bool IsPassingMoveError(unsigned long Code)
{
    return Code == ERROR_ACCESS_DENIED || Code == ERROR_SHARING_VIOLATION;
}

} // namespace detail

namespace {

using detail::FailWin32;

// The reparse tag of an existing name (0 when it cannot be read).
DWORD ReparseTag(const std::wstring& Wide)
{
    WIN32_FIND_DATAW data{};
    const HANDLE h = ::FindFirstFileExW(Wide.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    ::FindClose(h);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
}

// The replaced file's access list goes to the new one, so that a save keeps who may read and
// write it; a file system without access lists has nothing to keep.
void KeepAccess(const std::wstring& Target, const std::wstring& Temp)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetNamedSecurityInfoW(Target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
            nullptr, &sd) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (dacl != nullptr && ::GetSecurityDescriptorControl(sd, &control, &revision)) {
        // Inherited entries come from the folder, which both names share.
        const SECURITY_INFORMATION info = DACL_SECURITY_INFORMATION
            | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
        ::SetNamedSecurityInfoW(const_cast<wchar_t*>(Temp.c_str()), SE_FILE_OBJECT, info, nullptr, nullptr, dacl, nullptr);
    }
    ::LocalFree(sd);
}

// Refuses what must not be replaced, looking at the attributes only; true when a file is there.
bool CheckTarget(const std::string& Target, const std::wstring& Wide)
{
    detail::RefuseDeviceName(Target);
    const size_t base = detail::BaseStart(Wide);
    if (base == Wide.size() || Wide.substr(base) == L"." || Wide.substr(base) == L"..")
        throw EFileError(EISDIR, Target, "Is a folder");
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            return false; // a missing folder shows when the temporary file is created
        FailWin32(err, Target);
    }
    const DWORD a = data.dwFileAttributes;
    // Only links (symbolic links, junctions) stand for another file; other reparse points, such
    // as the files on demand of a synchronised folder, are the file itself.
    if ((a & FILE_ATTRIBUTE_REPARSE_POINT) && detail::IsLinkReparseTag(ReparseTag(Wide)))
        throw EFileError(ELOOP, Target, "Is a symbolic link, which is not followed");
    if (a & FILE_ATTRIBUTE_DIRECTORY)
        throw EFileError(EISDIR, Target, "Is a folder");
    if (a & FILE_ATTRIBUTE_DEVICE)
        throw EFileError(EINVAL, Target, "Is a device, not a regular file");
    if (a & FILE_ATTRIBUTE_READONLY)
        throw EFileError(EACCES, Target, "Is read-only");
    return true;
}

HANDLE CreateTemp(const std::string& Target, const std::wstring& Wide, std::wstring& Temp)
{
    const size_t base = detail::BaseStart(Wide);
    const std::string name = Target.substr(Target.find_last_of("\\/:") == std::string::npos ? 0 : Target.find_last_of("\\/:") + 1);
    for (int attempt = 0;; ++attempt) {
        Temp = Wide.substr(0, base) + detail::WidePath(detail::TempFileName(name));
        const HANDLE h = ::CreateFileW(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        const DWORD err = ::GetLastError();
        if ((err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) && attempt < 100)
            continue;
        Temp.clear();
        if (err == ERROR_PATH_NOT_FOUND)
            throw EFileError(ENOENT, Target, "The folder does not exist");
        FailWin32(err, Target);
    }
}

} // namespace

struct TSafeFile::TImpl {
    std::string Target;
    std::wstring Wide;
    std::wstring Temp;
    HANDLE File = INVALID_HANDLE_VALUE;
    bool Done = false;

    ~TImpl() { Discard(); }
    void Discard()
    {
        if (File != INVALID_HANDLE_VALUE)
            ::CloseHandle(File);
        File = INVALID_HANDLE_VALUE;
        if (!Temp.empty() && !Done)
            ::DeleteFileW(Temp.c_str());
        Temp.clear();
    }
};

TSafeFile::TSafeFile(const std::string& Target) : F(std::make_unique<TImpl>())
{
    F->Target = Target;
    F->Wide = detail::WidePath(Target);
    CheckTarget(Target, F->Wide);
    F->File = CreateTemp(Target, F->Wide, F->Temp);
}

TSafeFile::~TSafeFile() = default;

const std::string& TSafeFile::Target() const
{
    return F->Target;
}

void TSafeFile::Write(std::string_view Data)
{
    if (F->File == INVALID_HANDLE_VALUE)
        throw EFileError(EBADF, F->Target, "Already closed");
    while (!Data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Data.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(F->File, Data.data(), chunk, &written, nullptr) || written == 0) {
            const DWORD err = ::GetLastError();
            F->Discard();
            FailWin32(err != 0 ? err : ERROR_WRITE_FAULT, F->Target);
        }
        Data.remove_prefix(written);
    }
}

void TSafeFile::Commit()
{
    if (F->File == INVALID_HANDLE_VALUE)
        throw EFileError(EBADF, F->Target, "Already closed");
    DWORD err = 0;
    if (!::FlushFileBuffers(F->File))
        err = ::GetLastError();
    if (!::CloseHandle(F->File) && err == 0)
        err = ::GetLastError();
    F->File = INVALID_HANDLE_VALUE;
    if (err != 0) {
        F->Discard();
        FailWin32(err, F->Target);
    }
    try {
        // The name may have been taken meanwhile by something that must not be replaced.
        CheckTarget(F->Target, F->Wide);
    } catch (...) {
        F->Discard();
        throw;
    }
    KeepAccess(F->Wide, F->Temp);
    // Scanners, indexers and synchronising programs hold a fresh file for a moment: the rename is
    // tried for about a second before it counts as failed.
    const ULONGLONG giveUp = ::GetTickCount64() + 1000;
    while (!::MoveFileExW(F->Temp.c_str(), F->Wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        err = ::GetLastError();
        if (detail::IsPassingMoveError(err) && ::GetTickCount64() < giveUp) {
            ::Sleep(50);
            continue;
        }
        F->Discard();
        if (detail::IsPassingMoveError(err))
            throw EFileError(EACCES, F->Target,
                platform::SysErrorMessage(static_cast<int>(err)) + " (another program may have the file open, such as Excel a CSV file)");
        FailWin32(err, F->Target);
    }
    F->Done = true;
    F->Temp.clear();
}

void CheckSafeTarget(const std::string& Target)
{
    const std::wstring wide = detail::WidePath(Target);
    CheckTarget(Target, wide);
    std::wstring temp;
    const HANDLE h = CreateTemp(Target, wide, temp);
    ::CloseHandle(h);
    ::DeleteFileW(temp.c_str());
}

} // namespace kvt
