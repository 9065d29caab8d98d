// The system's error codes and texts: errno values on POSIX, the codes of GetLastError on Windows.
#pragma once

#include <string>

namespace kvt::platform {

// Trailing spaces, line breaks and periods removed, at most 255 characters.
std::string TrimSystemText(std::string Text);

// The system's text for Code, trimmed as above.
std::string SysErrorMessage(int Code);

// The system's codes for failures a caller finds itself (the serial port does): a device that is
// no longer open, a transfer without a buffer, a device that has gone (hung up, unplugged).
extern const int ErrorBadHandle;
extern const int ErrorBadBuffer;
extern const int ErrorDeviceGone;

} // namespace kvt::platform
