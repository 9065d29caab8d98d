// The safe writer on Windows (under wine here): the reparse points it refuses, a rename that
// another program holds up for a moment, and the access list of a replaced file.
#include "platform/file_win32.h"
#include "platform/safe_file.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using namespace std::chrono;

namespace {

// A folder of its own under the user's temporary folder, removed with its files.
class TFolder {
public:
    TFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        FPath = std::wstring(base) + L"kvt27-safe-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(FPath.c_str(), nullptr);
    }
    ~TFolder()
    {
        WIN32_FIND_DATAW d;
        const HANDLE h = FindFirstFileW((FPath + L"\\*").c_str(), &d);
        if (h != INVALID_HANDLE_VALUE) {
            do
                DeleteFileW((FPath + L"\\" + d.cFileName).c_str());
            while (FindNextFileW(h, &d));
            FindClose(h);
        }
        RemoveDirectoryW(FPath.c_str());
    }
    std::wstring Wide(const wchar_t* Name) const { return FPath + L"\\" + Name; }
    std::string Utf8(const wchar_t* Name) const
    {
        const std::wstring w = Wide(Name);
        std::string s(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), static_cast<int>(s.size()), nullptr, nullptr);
        s.pop_back();
        return s;
    }

private:
    std::wstring FPath;
};

std::string Content(const std::wstring& Path)
{
    std::ifstream in(Path.c_str(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

HANDLE HoldOpen(const std::wstring& Path)
{
    return CreateFileW(Path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

TEST(SafeFilesWin32, OnlyLinksAmongReparsePointsAreRefused)
{
    EXPECT_TRUE(kvt::detail::IsLinkReparseTag(0xA000000C));  // a symbolic link
    EXPECT_TRUE(kvt::detail::IsLinkReparseTag(0xA0000003));  // a junction
    EXPECT_TRUE(kvt::detail::IsLinkReparseTag(0xA000001D));  // a link made in WSL
    EXPECT_FALSE(kvt::detail::IsLinkReparseTag(0x9000001A)); // a cloud file (OneDrive's files on demand)
    EXPECT_FALSE(kvt::detail::IsLinkReparseTag(0x9000601A));
    EXPECT_FALSE(kvt::detail::IsLinkReparseTag(0x80000013)); // a deduplicated file
    EXPECT_TRUE(kvt::detail::IsPassingMoveError(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(kvt::detail::IsPassingMoveError(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(kvt::detail::IsPassingMoveError(ERROR_PATH_NOT_FOUND));
}

// A scanner holds the file a moment: the save waits for it. Held on, the save fails saying why.
TEST(SafeFilesWin32, AFileHeldByAnotherProgramIsReplacedOnceReleased)
{
    TFolder folder;
    const std::wstring target = folder.Wide(L"záznam.csv");
    kvt::WriteFileSafely(folder.Utf8(L"záznam.csv"), "old");
    HANDLE held = HoldOpen(target);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([held] {
        Sleep(300);
        CloseHandle(held);
    });
    const auto start = steady_clock::now();
    EXPECT_NO_THROW(kvt::WriteFileSafely(folder.Utf8(L"záznam.csv"), "new"));
    release.join();
    EXPECT_GE(steady_clock::now() - start, milliseconds(250));
    EXPECT_EQ(Content(target), "new");

    held = HoldOpen(target);
    try {
        kvt::WriteFileSafely(folder.Utf8(L"záznam.csv"), "newer");
        ADD_FAILURE() << "replaced a file that another program holds";
    } catch (const kvt::EFileError& e) {
        EXPECT_NE(e.Reason.find("another program may have the file open"), std::string::npos) << e.Reason;
    }
    CloseHandle(held);
    EXPECT_EQ(Content(target), "new");
}

// Who may read and write a file stays so when it is saved over.
TEST(SafeFilesWin32, AReplacedFileKeepsItsAccessList)
{
    TFolder folder;
    const std::wstring target = folder.Wide(L"nastavení.txt");
    kvt::WriteFileSafely(folder.Utf8(L"nastavení.txt"), "old");

    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    alignas(DWORD) BYTE buffer[256];
    auto* acl = reinterpret_cast<PACL>(buffer);
    InitializeAcl(acl, sizeof buffer, ACL_REVISION);
    const DWORD mask = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
    AddAccessAllowedAce(acl, ACL_REVISION, mask, everyone);
    ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(target.c_str()), SE_FILE_OBJECT,
                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr),
        ERROR_SUCCESS);

    auto Access = [](const std::wstring& Path) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        std::ostringstream text;
        if (GetNamedSecurityInfoW(Path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                nullptr, &sd) == ERROR_SUCCESS && dacl != nullptr) {
            SECURITY_DESCRIPTOR_CONTROL control = 0;
            DWORD revision = 0;
            GetSecurityDescriptorControl(sd, &control, &revision);
            text << ((control & SE_DACL_PROTECTED) ? "protected" : "inherited");
            for (DWORD i = 0; i < dacl->AceCount; ++i) {
                void* ace = nullptr;
                GetAce(dacl, i, &ace);
                const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
                text << ' ' << int{allowed->Header.AceType} << ':' << allowed->Mask;
            }
        } else {
            text << "none";
        }
        LocalFree(sd);
        return text.str();
    };
    const std::string before = Access(target);
    std::ostringstream expected;
    expected << "protected 0:" << mask;
    if (before != expected.str())
        GTEST_SKIP() << "this system keeps no access list of a file (wine does not): " << before;
    kvt::WriteFileSafely(folder.Utf8(L"jiný.txt"), "a file of the folder's own");
    ASSERT_NE(Access(folder.Wide(L"jiný.txt")), before) << "a new file would have this list anyway";

    kvt::WriteFileSafely(folder.Utf8(L"nastavení.txt"), "new");
    EXPECT_EQ(Content(target), "new");
    EXPECT_EQ(Access(target), before);
    FreeSid(everyone);
}
