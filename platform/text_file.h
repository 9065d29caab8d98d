// Small text files given by the user (configuration files), read so that no name can make the
// reader hang or swallow the memory, and texts from them cut to a size a message can show.
#pragma once

#include "platform/safe_file.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kvt {

inline constexpr std::size_t TextFileLimit = 1 << 20;

// The whole file, without a leading UTF-8 byte-order mark. Only a regular file of at most Limit
// bytes is read; a folder, a FIFO or a device is refused before it is opened, and the open itself
// never waits. Throws EFileError naming Path ("Is a folder", "Is larger than 1 MiB", the system's
// text).
std::string ReadTextFile(const std::string& Path, std::size_t Limit = TextFileLimit);

// Text from a file or an argument for a message: in double quotes, at most Max bytes of it (cut
// on a character boundary, "..." marks the cut), control characters and bytes that are not UTF-8
// as '?'.
std::string MessageQuote(std::string_view Text, std::size_t Max = 40);

namespace detail {
// Shared by the platform parts: the whole of an opened file that says it holds Size bytes, read
// with Read (bytes into the buffer, 0 at the end) until its end, without a byte-order mark. Never
// more than Limit bytes are kept, even when the file grows while it is read: EFileError(EFBIG).
std::string ReadBounded(const std::function<std::size_t(char* Buffer, std::size_t Room)>& Read,
                        unsigned long long Size, std::size_t Limit, const std::string& Path);
} // namespace detail

} // namespace kvt
