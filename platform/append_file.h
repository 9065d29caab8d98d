// Files that only ever grow: a register kept line by line, where a line once written is never
// written again, so that nothing before a failed write can be lost by it.
#pragma once

#include "platform/safe_file.h"

#include <string>
#include <string_view>

namespace kvt {

// Appends Data at the end of File in one write and flushes it to the disk; creates the file
// (readable and writable by the user alone) when it is not there. Only a regular file is
// appended to: a symbolic link, a folder or a device is refused. Throws EFileError.
void AppendToFile(const std::string& File, std::string_view Data);

// Creates Folder and every missing folder above it. Throws EFileError.
void MakeFolders(const std::string& Folder);

// The user's folder for a program's data: $XDG_DATA_HOME or ~/.local/share on Linux,
// %LOCALAPPDATA% on Windows. Empty when the system names none.
std::string UserDataFolder();

} // namespace kvt
