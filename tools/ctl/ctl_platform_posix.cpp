#include "tools/ctl/ctl_platform.h"

#include <csignal>
#include <unistd.h>

namespace kvt::ctl {

namespace {

std::atomic<int>* StopFlag = nullptr;

void OnStopSignal(int Signal)
{
    if (StopFlag != nullptr)
        *StopFlag = Signal;
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void InstallStopHandler(std::atomic<int>& Stop)
{
    StopFlag = &Stop;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool ErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void UseUtf8Console()
{
}

} // namespace kvt::ctl
