#include "tools/ctl/ctl_platform.h"

#include "platform/utf8.h"

#include <windows.h>
#include <shellapi.h>

namespace kvt::ctl {

namespace {

std::atomic<int>* StopFlag = nullptr;

// The numbers the POSIX side uses, so that the exit status is the same: 130 for Ctrl-C.
constexpr int StopByInterrupt = 2;
constexpr int StopByHangUp = 1;

BOOL WINAPI OnConsoleControl(DWORD Event)
{
    if (StopFlag == nullptr)
        return FALSE;
    switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        *StopFlag = StopByInterrupt;
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // The system ends the process a few seconds after this returns: time for a recording to
        // write what it has.
        *StopFlag = StopByHangUp;
        Sleep(4000);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    int Count = 0;
    wchar_t** Wide = CommandLineToArgvW(GetCommandLineW(), &Count);
    if (Wide == nullptr)
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> Args;
    for (int i = 1; i < Count; ++i)
        Args.push_back(kvt::platform::Utf8FromWide(Wide[i]));
    LocalFree(Wide);
    return Args;
}

void InstallStopHandler(std::atomic<int>& Stop)
{
    StopFlag = &Stop;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool ErrorIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void UseUtf8Console()
{
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace kvt::ctl
