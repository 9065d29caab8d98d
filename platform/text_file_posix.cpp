// The text file reader on POSIX systems.
#include "platform/text_file.h"

#include "platform/syserror.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt {

namespace {

[[noreturn]] void Fail(int Code, const std::string& Path)
{
    throw EFileError(Code, Path, platform::SysErrorMessage(Code));
}

void CheckKind(const struct stat& St, const std::string& Path)
{
    if (S_ISDIR(St.st_mode))
        throw EFileError(EISDIR, Path, "Is a folder");
    if (S_ISFIFO(St.st_mode))
        throw EFileError(EINVAL, Path, "Is a FIFO, not a regular file");
    if (S_ISCHR(St.st_mode) || S_ISBLK(St.st_mode))
        throw EFileError(EINVAL, Path, "Is a device, not a regular file");
    if (!S_ISREG(St.st_mode))
        throw EFileError(EINVAL, Path, "Is not a regular file");
}

class TFd {
public:
    explicit TFd(int Fd) : FFd(Fd) {}
    ~TFd() { ::close(FFd); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

} // namespace

std::string ReadTextFile(const std::string& Path, std::size_t Limit)
{
    // Looked at before it is opened: opening a device may act on it.
    struct stat st {};
    if (::stat(Path.c_str(), &st) != 0)
        Fail(errno, Path);
    CheckKind(st, Path);
    // Without blocking, in case a FIFO took the name meanwhile; checked again on what was opened.
    int fd;
    do
        fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        Fail(errno, Path);
    TFd file(fd);
    if (::fstat(fd, &st) != 0)
        Fail(errno, Path);
    CheckKind(st, Path);
    return detail::ReadBounded(
        [&](char* Buffer, std::size_t Room) -> std::size_t {
            for (;;) {
                const ssize_t n = ::read(fd, Buffer, Room);
                if (n >= 0)
                    return static_cast<std::size_t>(n);
                if (errno != EINTR)
                    Fail(errno, Path);
            }
        },
        st.st_size < 0 ? ~0ULL : static_cast<unsigned long long>(st.st_size), Limit, Path);
}

} // namespace kvt
