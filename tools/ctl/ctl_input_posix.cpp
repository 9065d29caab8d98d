#include "tools/ctl/ctl_input.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace kvt::ctl {

TInputEvent WaitForInput(int Ms)
{
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&p, 1, Ms);
    if (ready <= 0)
        return TInputEvent::Nothing; // the time, or a signal: the caller looks at both
    if ((p.revents & POLLNVAL) != 0)
        return TInputEvent::End;
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN ? TInputEvent::Nothing : TInputEvent::End;
    if (n == 0)
        return TInputEvent::End;
    for (ssize_t i = 0; i < n; ++i)
        if (buffer[i] == '\n' || buffer[i] == '\r')
            return TInputEvent::Line;
    return TInputEvent::Nothing;
}

} // namespace kvt::ctl
