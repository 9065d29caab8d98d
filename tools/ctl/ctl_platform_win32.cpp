#include "tools/ctl/ctl_platform.h"

#include <windows.h>
#include <shellapi.h>

namespace kvt::ctl {

namespace {

std::atomic<bool>* StopFlag = nullptr;
std::atomic<bool> StopSeen{false};

BOOL WINAPI OnConsoleControl(DWORD Event)
{
    switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        // Handled once; the next one goes to the system's handler, which ends the program.
        if (StopFlag == nullptr || StopSeen.exchange(true))
            return FALSE;
        *StopFlag = true;
        return TRUE;
    default:
        return FALSE;
    }
}

std::string Utf8(const wchar_t* Text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, Text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string Out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text, -1, Out.data(), n, nullptr, nullptr);
    Out.pop_back();
    return Out;
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
        Args.push_back(Utf8(Wide[i]));
    LocalFree(Wide);
    return Args;
}

void InstallStopHandler(std::atomic<bool>& Stop)
{
    StopFlag = &Stop;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void UseUtf8Console()
{
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace kvt::ctl
