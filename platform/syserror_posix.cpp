// System error codes on POSIX are errno values.
#include "platform/syserror.h"

#include <cerrno>
#include <cstring>

namespace kvt::platform {

namespace {

// strerror_r comes in two flavours; overloads pick whichever the C library declares.
[[maybe_unused]] const char* ErrorText(int Result, const char* Buffer)
{
    return Result == 0 ? Buffer : "";
}
[[maybe_unused]] const char* ErrorText(const char* Result, const char*)
{
    return Result;
}

} // namespace

const int ErrorBadHandle = EBADF;
const int ErrorBadBuffer = EFAULT;
const int ErrorDeviceGone = EIO;

std::string SysErrorMessage(int Code)
{
    char Buffer[512] = {};
    std::string Text = ErrorText(strerror_r(Code, Buffer, sizeof Buffer), Buffer);
    if (Text.empty()) {
        Text = "System error ";
        Text += std::to_string(Code);
    }
    return TrimSystemText(std::move(Text));
}

} // namespace kvt::platform
