#include "serial/simregistry.h"

#include "datalog/safe_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt {

namespace {

constexpr const char* Suffix = ".port";

bool EndsWith(const std::string& S, const std::string& Tail)
{
    return S.size() >= Tail.size() && S.compare(S.size() - Tail.size(), Tail.size(), Tail) == 0;
}

// Start time of a process in clock ticks since boot (field 22 of /proc/PID/stat), or empty when
// it cannot be read. Together with the pid it names a process even after the pid is reused.
std::string ProcessStartTime(long Pid)
{
    std::ifstream in("/proc/" + std::to_string(Pid) + "/stat");
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    // The command name may hold blanks and parentheses: count fields after the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        if (!(fields >> field))
            return {};
    return field;
}

bool ProcessAlive(long Pid, const std::string& StartTime)
{
    if (Pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(Pid), 0) != 0 && errno != EPERM)
        return false;
    if (StartTime.empty())
        return true;
    const std::string now = ProcessStartTime(Pid);
    // Without /proc the pid alone has to do.
    return now.empty() || now == StartTime;
}

struct TEntry {
    long Pid = 0;
    std::string Start;
    long long Since = 0;
    std::string Path;
};

// An entry is a few short lines; anything larger was not written by a simulator.
constexpr std::size_t EntryLimit = 4096;

// The text of an entry, or nothing for what a simulator never leaves: a FIFO (whose open would
// wait for a writer), a symbolic link, a device, anything large. Such a name is skipped, not removed.
std::optional<std::string> ReadEntry(const std::string& File)
{
    // Looked at before it is opened: opening a device may act on it.
    struct stat st {};
    if (::lstat(File.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    int fd;
    do
        fd = ::open(File.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return std::nullopt;
    // Never more than the limit, also when the file grows meanwhile.
    std::string text(EntryLimit + 1, '\0');
    std::size_t got = 0;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    while (ok && got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n >= 0;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!ok || got > EntryLimit)
        return std::nullopt;
    text.resize(got);
    return text;
}

bool ParseEntry(const std::string& Text, TEntry& Entry)
{
    std::istringstream in(Text);
    std::string line;
    bool pid = false;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "pid") {
            char* end = nullptr;
            Entry.Pid = std::strtol(value.c_str(), &end, 10);
            pid = !value.empty() && *end == '\0';
        } else if (key == "start") {
            Entry.Start = value;
        } else if (key == "since") {
            Entry.Since = std::strtoll(value.c_str(), nullptr, 10);
        } else if (key == "path") {
            Entry.Path = value;
        }
    }
    return pid && Entry.Pid > 0 && !Entry.Path.empty() && Entry.Path.front() == '/';
}

bool MakeRegistryDir(const std::string& Dir, std::string& Error)
{
    if (::mkdir(Dir.c_str(), 0700) != 0 && errno != EEXIST) {
        Error = Dir + ": " + std::strerror(errno);
        return false;
    }
    if (!RegistryDirUsable(Dir)) {
        Error = Dir + " belongs to another user or is open to others";
        return false;
    }
    return true;
}

std::atomic<unsigned> RegistrationCount{0};

} // namespace

std::string SimPortRegistryDir()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
        return std::string(runtime) + "/kvt27-sim";
    return "/tmp/kvt27-sim-" + std::to_string(::getuid());
}

bool RegistryDirUsable(const std::string& Dir)
{
    struct stat st {};
    if (::lstat(Dir.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::vector<TSimPort> LiveSimPortsIn(const std::string& Dir)
{
    std::vector<TEntry> live;
    if (!RegistryDirUsable(Dir))
        return {};
    DIR* d = ::opendir(Dir.c_str());
    if (d == nullptr)
        return {};
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name.front() == '.' || !EndsWith(name, Suffix))
            continue;
        const std::string file = Dir + "/" + name;
        const std::optional<std::string> text = ReadEntry(file);
        if (!text)
            continue;
        TEntry entry;
        if (!ParseEntry(*text, entry) || !ProcessAlive(entry.Pid, entry.Start)) {
            ::unlink(file.c_str());
            continue;
        }
        struct stat st {};
        if (::stat(entry.Path.c_str(), &st) != 0)
            continue; // the process lives but its line is gone: not worth offering
        live.push_back(std::move(entry));
    }
    ::closedir(d);
    std::stable_sort(live.begin(), live.end(), [](const TEntry& A, const TEntry& B) {
        return A.Since != B.Since ? A.Since < B.Since : A.Pid < B.Pid;
    });
    std::vector<TSimPort> ports;
    ports.reserve(live.size());
    for (TEntry& e : live)
        ports.push_back({e.Pid, std::move(e.Path)});
    return ports;
}

TSimPortRegistration::TSimPortRegistration(const std::string& DevicePath, const std::string& Dir)
{
    if (DevicePath.empty() || DevicePath.front() != '/' || DevicePath.find('\n') != std::string::npos) {
        FError = "not an absolute device path: " + DevicePath;
        return;
    }
    if (!MakeRegistryDir(Dir, FError))
        return;
    const long pid = static_cast<long>(::getpid());
    const std::string base = std::to_string(pid) + "-" + std::to_string(RegistrationCount++);
    const std::string file = Dir + "/" + base + Suffix;

    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::string text = "pid=" + std::to_string(pid) + "\nstart=" + ProcessStartTime(pid) +
        "\nsince=" + std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec) +
        "\npath=" + DevicePath + "\n";

    // A reader never sees half an entry: the temporary file's name is one it skips.
    try {
        WriteFileSafely(file, text);
    } catch (const EFileError& e) {
        FError = e.what();
        return;
    }
    FFile = file;
}

TSimPortRegistration::~TSimPortRegistration()
{
    Remove();
}

void TSimPortRegistration::Remove()
{
    if (!FFile.empty())
        ::unlink(FFile.c_str());
    FFile.clear();
}

} // namespace kvt
