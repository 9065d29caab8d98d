#include "tools/ctl/ctl_platform.h"

#include <csignal>

namespace kvt::ctl {

namespace {

std::atomic<bool>* StopFlag = nullptr;

void OnStopSignal(int)
{
    if (StopFlag != nullptr)
        *StopFlag = true;
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void InstallStopHandler(std::atomic<bool>& Stop)
{
    StopFlag = &Stop;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void UseUtf8Console()
{
}

} // namespace kvt::ctl
