// The safe writer on POSIX systems.
#include "datalog/safe_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt {

namespace {

[[noreturn]] void Fail(int Code, const std::string& Target)
{
    throw EFileError(Code, Target, std::strerror(Code));
}

// Folder part with its slash ("" for the current folder) and the name.
void SplitPath(const std::string& Path, std::string& Dir, std::string& Base)
{
    const auto slash = Path.rfind('/');
    Dir = slash == std::string::npos ? "" : Path.substr(0, slash + 1);
    Base = slash == std::string::npos ? Path : Path.substr(slash + 1);
}

// Refuses what must not be replaced; true when a regular file is there (its status in Old).
// The target is looked at with lstat only: opening a FIFO would block, a device could act.
bool CheckTarget(const std::string& Target, struct stat& Old)
{
    if (Target.empty())
        throw EFileError(ENOENT, Target, "No file name");
    std::string dir, base;
    SplitPath(Target, dir, base);
    if (base.empty() || base == "." || base == "..")
        throw EFileError(EISDIR, Target, "Is a folder");
    if (::lstat(Target.c_str(), &Old) != 0) {
        if (errno == ENOENT)
            return false; // a missing folder shows when the temporary file is created
        Fail(errno, Target);
    }
    if (S_ISLNK(Old.st_mode))
        throw EFileError(ELOOP, Target, "Is a symbolic link, which is not followed");
    if (S_ISDIR(Old.st_mode))
        throw EFileError(EISDIR, Target, "Is a folder");
    if (S_ISFIFO(Old.st_mode))
        throw EFileError(EINVAL, Target, "Is a FIFO, not a regular file");
    if (S_ISCHR(Old.st_mode) || S_ISBLK(Old.st_mode))
        throw EFileError(EINVAL, Target, "Is a device, not a regular file");
    if (!S_ISREG(Old.st_mode))
        throw EFileError(EINVAL, Target, "Is not a regular file");
    // Also for root, whom the access check lets write anything.
    if ((Old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw EFileError(EACCES, Target, "Is read-only");
    if (::faccessat(AT_FDCWD, Target.c_str(), W_OK, AT_EACCESS) != 0)
        Fail(errno, Target);
    return true;
}

// Creates the temporary file beside Target exclusively with Mode (less the umask); its descriptor,
// the name in Temp.
int CreateTemp(const std::string& Target, std::string& Temp, mode_t Mode)
{
    std::string dir, base;
    SplitPath(Target, dir, base);
    for (int attempt = 0;; ++attempt) {
        Temp = dir + detail::TempFileName(base);
        const int fd = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, Mode);
        if (fd >= 0) {
            if (detail::TempFileCreated)
                detail::TempFileCreated(fd);
            return fd;
        }
        if (errno == EINTR || (errno == EEXIST && attempt < 100))
            continue;
        const int err = errno;
        Temp.clear();
        if (err == ENOENT)
            throw EFileError(ENOENT, Target, "The folder does not exist");
        Fail(err, Target);
    }
}

// Makes the rename itself durable; a folder that cannot be synced costs nothing but that.
void SyncFolder(const std::string& Target)
{
    std::string dir, base;
    SplitPath(Target, dir, base);
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

namespace detail {
void (*TempFileCreated)(int Descriptor) = nullptr;
} // namespace detail

struct TSafeFile::TImpl {
    std::string Target;
    std::string Temp;
    int Fd = -1;
    bool Done = false;

    ~TImpl() { Discard(); }
    void Discard()
    {
        if (Fd >= 0)
            ::close(Fd);
        Fd = -1;
        if (!Temp.empty() && !Done)
            ::unlink(Temp.c_str());
        Temp.clear();
    }
};

TSafeFile::TSafeFile(const std::string& Target) : F(std::make_unique<TImpl>())
{
    F->Target = Target;
    struct stat old {};
    const bool replace = CheckTarget(Target, old);
    // A new file gets what any new file gets. A replacement is the owner's alone until it has the
    // old file's owner and group: open to more people than the old file at no moment, not even
    // empty, as a descriptor opened then would read the new content later.
    F->Fd = CreateTemp(Target, F->Temp, replace ? 0600 : 0666);
    if (replace) {
        // The old file's owner (where the system lets us) and permissions, set before any data
        // goes in.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(F->Fd, old.st_uid, old.st_gid);
        if (::fchmod(F->Fd, old.st_mode & 0777) != 0) {
            const int err = errno;
            F->Discard();
            Fail(err, Target);
        }
    }
}

TSafeFile::~TSafeFile() = default;

const std::string& TSafeFile::Target() const
{
    return F->Target;
}

void TSafeFile::Write(std::string_view Data)
{
    if (F->Fd < 0)
        throw EFileError(EBADF, F->Target, "Already closed");
    while (!Data.empty()) {
        const ssize_t n = ::write(F->Fd, Data.data(), Data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            F->Discard();
            Fail(err, F->Target);
        }
        Data.remove_prefix(static_cast<size_t>(n));
    }
}

void TSafeFile::Commit()
{
    if (F->Fd < 0)
        throw EFileError(EBADF, F->Target, "Already closed");
    int err = 0;
    if (::fsync(F->Fd) != 0 && errno != EINVAL)
        err = errno;
    // On Linux the descriptor is released even when close reports EINTR.
    if (::close(F->Fd) != 0 && errno != EINTR && err == 0)
        err = errno;
    F->Fd = -1;
    if (err != 0) {
        F->Discard();
        Fail(err, F->Target);
    }
    try {
        // The name may have been taken meanwhile by something that must not be replaced.
        struct stat now {};
        CheckTarget(F->Target, now);
    } catch (...) {
        F->Discard();
        throw;
    }
    if (::rename(F->Temp.c_str(), F->Target.c_str()) != 0) {
        err = errno;
        F->Discard();
        Fail(err, F->Target);
    }
    F->Done = true;
    F->Temp.clear();
    SyncFolder(F->Target);
}

void CheckSafeTarget(const std::string& Target)
{
    struct stat old {};
    CheckTarget(Target, old);
    std::string temp;
    const int fd = CreateTemp(Target, temp, 0600);
    ::close(fd);
    ::unlink(temp.c_str());
}

} // namespace kvt
