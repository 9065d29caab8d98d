#include "process_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Environment of this process with Extra set on top.
std::vector<std::string> Environment(const std::vector<std::string>& Extra)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string s = *e;
        bool replaced = false;
        for (const std::string& x : Extra)
            replaced = replaced || s.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
        if (!replaced)
            env.push_back(s);
    }
    env.insert(env.end(), Extra.begin(), Extra.end());
    return env;
}

} // namespace

TChild::TChild(const std::vector<std::string>& Argv, const std::vector<std::string>& Extra,
    const std::vector<int>& Closed, bool InputPipe)
{
    int out[2], err[2], in[2] = {-1, -1};
    if (InputPipe) {
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
    }
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (InputPipe)
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (const int fd : Closed)
        posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> args;
    for (const std::string& a : Argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::vector<std::string> envText = Environment(Extra);
    std::vector<char*> env;
    for (const std::string& e : envText)
        env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&FPid, args[0], &actions, nullptr, args.data(), env.data()), 0) << Argv[0];
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (InputPipe) {
        ::close(in[0]);
        FIn = in[1];
    }
    FOut = out[0];
    FErr = err[0];
}

TChild::~TChild()
{
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
    ::close(FOut);
    ::close(FErr);
    CloseIn();
}

std::string TChild::ReadLine(std::chrono::milliseconds Timeout)
{
    const auto end = Clock::now() + Timeout;
    while (FOutText.find('\n') == std::string::npos && Clock::now() < end)
        Pump(50);
    const auto nl = FOutText.find('\n');
    if (nl == std::string::npos)
        return {};
    std::string line = FOutText.substr(0, nl);
    FOutText.erase(0, nl + 1);
    return line;
}

void TChild::WriteIn(const std::string& Text)
{
    EXPECT_EQ(::write(FIn, Text.data(), Text.size()), static_cast<ssize_t>(Text.size()));
}

void TChild::CloseIn()
{
    if (FIn >= 0)
        ::close(FIn);
    FIn = -1;
}

void TChild::CloseOut()
{
    ::close(FOut);
    FOut = -1;
}

TRun TChild::Wait(std::chrono::milliseconds Timeout)
{
    TRun r;
    const auto end = Clock::now() + Timeout;
    int status = 0;
    while (Clock::now() < end) {
        Pump(20);
        const pid_t done = ::waitpid(FPid, &status, WNOHANG);
        if (done == FPid) {
            FPid = -1;
            break;
        }
    }
    while (Pump(0)) {
    }
    EXPECT_EQ(FPid, -1) << "the program did not end in time";
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.Out = FOutText;
    r.Err = FErrText;
    return r;
}

bool TChild::Pump(int Ms)
{
    pollfd p[2] = {{FOut, POLLIN, 0}, {FErr, POLLIN, 0}};
    if (::poll(p, 2, Ms) <= 0)
        return false;
    bool any = false;
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
        if (p[i].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? FOutText : FErrText).append(buf, static_cast<size_t>(n));
                any = true;
            }
        }
    }
    return any;
}

TRun RunProgram(const std::vector<std::string>& Argv, const std::vector<std::string>& Extra,
    const std::vector<int>& Closed)
{
    TChild child(Argv, Extra, Closed);
    return child.Wait();
}
