// The few C library calls whose form differs between POSIX and Windows.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace kvt::platform {

// std::fopen for a file named in UTF-8; on Windows through the wide API, where a name that is not
// UTF-8 opens nothing (errno EILSEQ).
std::FILE* OpenFileUtf8(const std::string& Name, const char* Mode);

// The local time of Time; false when it cannot be had.
bool LocalTime(std::time_t Time, std::tm& Local);

} // namespace kvt::platform
