// Opening a file named in UTF-8, the form every file name takes in this program.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace kvt {

// std::fopen for Name in UTF-8; on Windows through the wide API, so that any name opens.
std::FILE* OpenFileUtf8(const std::string& Name, const char* Mode);

// Name in UTF-8 as a path for the standard file streams and std::filesystem; on Windows these
// then use the wide API.
inline std::filesystem::path PathFromUtf8(const std::string& Name)
{
    return std::filesystem::path(std::u8string(Name.begin(), Name.end()));
}

} // namespace kvt
