// The ports of the simulators running on this machine for this user. Each running kvt27-sim
// leaves a small file in a private folder (pid, process start time, device path) and removes it
// at exit; the program and kvt27ctl list the live ones after the system's own ports. An entry
// whose process has gone (a simulator that was killed) is skipped and removed. Windows has no
// simulator: there the list is empty and registering does nothing.
#pragma once

#include <string>
#include <vector>

namespace kvt {

// $XDG_RUNTIME_DIR/kvt27-sim when that variable names a directory, else /tmp/kvt27-sim-<uid>.
std::string SimPortRegistryDir();

// True when Dir may be trusted: a real directory (not a link), owned by this user, writable by
// no one else. A folder someone else planted in /tmp is not read and not written.
bool RegistryDirUsable(const std::string& Dir);

struct TSimPort {
    long Pid = 0;
    std::string Path;
};

// The live registrations in Dir, oldest first; stale ones are deleted on the way. A missing or
// untrusted folder gives nothing.
std::vector<TSimPort> LiveSimPortsIn(const std::string& Dir);


// Registers DevicePath for this process while the object lives. Registration is best effort:
// a failure leaves Registered() false and the reason in Error(); the simulator runs anyway.
class TSimPortRegistration {
public:
    explicit TSimPortRegistration(const std::string& DevicePath, const std::string& Dir = SimPortRegistryDir());
    ~TSimPortRegistration();
    TSimPortRegistration(const TSimPortRegistration&) = delete;
    TSimPortRegistration& operator=(const TSimPortRegistration&) = delete;

    bool Registered() const { return !FFile.empty(); }
    const std::string& File() const { return FFile; }
    const std::string& Error() const { return FError; }
    // Removes the entry now (also done by the destructor).
    void Remove();

private:
    std::string FFile;
    std::string FError;
};

} // namespace kvt
