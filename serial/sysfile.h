// The few C library calls whose form differs between POSIX and Windows.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace kvt::serial {

// std::fopen for a file named in UTF-8; on Windows through the wide API.
std::FILE* OpenFileUtf8(const std::string& Name, const char* Mode);

// The local time of Time; false when it cannot be had.
bool LocalTime(std::time_t Time, std::tm& Local);

#ifdef _WIN32
// UTF-8 in the wide form of the Windows API.
std::wstring WideText(const std::string& Utf8);
#endif

} // namespace kvt::serial
