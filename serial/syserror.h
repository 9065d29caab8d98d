// The system's text for an errno value, in the form the component's errors carry.
#pragma once

#include <string>

namespace kvt::serial {

// Trailing spaces, line breaks and periods removed, at most 255 characters.
std::string TrimSystemText(std::string Text);

// strerror's text for Code, trimmed as above.
std::string SysErrorMessage(int Code);

} // namespace kvt::serial
