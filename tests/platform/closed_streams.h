// Standard descriptors closed for a while inside a test, as a program started without them has
// them. Nothing may be printed meanwhile: results are checked once they are back.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>
#include <vector>

class TWithoutStandardStreams {
public:
    explicit TWithoutStandardStreams(const std::vector<int>& Fds = {0, 1, 2})
    {
        std::cout.flush();
        std::fflush(nullptr);
        for (const int fd : Fds) {
            FSaved[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
            ::close(fd);
        }
    }
    ~TWithoutStandardStreams()
    {
        for (int fd = 0; fd <= 2; ++fd) {
            if (FSaved[fd] >= 0) {
                ::dup2(FSaved[fd], fd);
                ::close(FSaved[fd]);
            }
        }
    }
    TWithoutStandardStreams(const TWithoutStandardStreams&) = delete;
    TWithoutStandardStreams& operator=(const TWithoutStandardStreams&) = delete;

    static bool Closed(int Fd) { return ::fcntl(Fd, F_GETFD) == -1; }

private:
    int FSaved[3] = {-1, -1, -1};
};
