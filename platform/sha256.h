// SHA-256 of bytes and of files, for the checksum a record file is known by later.
#pragma once

#include <string>
#include <string_view>

namespace kvt {

// The digest as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view Data);

// The digest of a file's bytes; throws EFileError when it cannot be read.
std::string Sha256OfFile(const std::string& Path);

} // namespace kvt
