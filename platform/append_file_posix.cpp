#include "platform/append_file.h"

#include "platform/syserror.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt {

void AppendToFile(const std::string& File, std::string_view Data)
{
    const int fd = ::open(File.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        const int err = errno;
        throw EFileError(err, File, err == ELOOP ? "Is a symbolic link, which is not followed" : platform::SysErrorMessage(err));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EFileError(EINVAL, File, "Is not a regular file");
    }
    // One write for the whole, so that the line is either all there or cut at its end.
    std::size_t done = 0;
    while (done < Data.size()) {
        const ssize_t n = ::write(fd, Data.data() + done, Data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(fd);
            throw EFileError(err, File, platform::SysErrorMessage(err));
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const int err = errno;
        ::close(fd);
        throw EFileError(err, File, platform::SysErrorMessage(err));
    }
    if (::close(fd) != 0 && errno != EINTR)
        throw EFileError(errno, File, platform::SysErrorMessage(errno));
}

std::string UserDataFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return data;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw != nullptr ? pw->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/')
        return {};
    return std::string(home) + "/.local/share";
}

} // namespace kvt
