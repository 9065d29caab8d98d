#include "tools/ctl/ctl_platform.h"

#include "platform/utf8.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

namespace kvt::ctl {

namespace {

std::atomic<int>* StopFlag = nullptr;
// The thread that runs the command, for the console's close to wait for.
HANDLE MainThread = nullptr;
// The console's code page before the program's own, given back at exit.
UINT SavedOutputCodePage = 0;

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
        // The system ends the process as soon as this returns (or after five seconds): the
        // command ends before its next request, a recording writes what it has, and the process
        // ends with the main thread's exit, which ends this wait too.
        *StopFlag = StopByHangUp;
        if (MainThread != nullptr)
            WaitForSingleObject(MainThread, INFINITE);
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
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &MainThread, SYNCHRONIZE, FALSE, 0);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool ErrorIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void UseUtf8Console()
{
    const UINT Current = GetConsoleOutputCP();
    if (Current == 0 || Current == CP_UTF8)
        return; // no console, or UTF-8 already
    if (SetConsoleOutputCP(CP_UTF8)) {
        // The console outlives the program: the next program in it gets its code page back.
        SavedOutputCodePage = Current;
        std::atexit([] { SetConsoleOutputCP(SavedOutputCodePage); });
    }
}

} // namespace kvt::ctl
