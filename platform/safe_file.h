// Files written so that nothing is lost and nothing is replaced that is not a plain file.
//
// The data goes into a new temporary file beside the target, created exclusively under a name no
// one can guess; it is written whole and flushed to the disk, and only then renamed over the
// target. Until that rename the target is untouched, and a failure anywhere removes the temporary
// file. Only a regular file is replaced, and only one the user may write: a folder, a FIFO, a
// device or a symbolic link is refused and never opened. A replaced file keeps its permissions (on
// Windows its access list, where the file system keeps one).
//
// Names are the system's bytes on POSIX and UTF-8 on Windows.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kvt {

// A file that cannot be read or written. what() is "FILE: Reason".
class EFileError : public std::runtime_error {
public:
    EFileError(int ErrorCode, std::string FileName, std::string Reason);
    int ErrorCode;        // errno (mapped from the system's code on Windows)
    std::string FileName; // the name the caller gave
    std::string Reason;   // the system's text ("No such file or directory"), or why it was refused
};

// Throws EFileError when Target cannot be written safely now: it exists and is not a regular file,
// or the user may not write it, or no file can be created in its folder. Meant for a caller that
// checks before long work; it leaves nothing behind.
void CheckSafeTarget(const std::string& Target);

// One safe write: construct (checks the target and creates the temporary file), Write as often as
// needed, Commit. Without a successful Commit the destructor removes the temporary file and the
// target stays as it was. Every failure throws EFileError naming the target.
class TSafeFile {
public:
    explicit TSafeFile(const std::string& Target);
    ~TSafeFile();
    TSafeFile(const TSafeFile&) = delete;
    TSafeFile& operator=(const TSafeFile&) = delete;

    void Write(std::string_view Data);
    // Flushes to the disk, closes, checks the target again and renames over it.
    void Commit();
    const std::string& Target() const;

    struct TImpl; // the platform's part

private:
    std::unique_ptr<TImpl> F;
};

// The whole of Data as Target, through a TSafeFile.
void WriteFileSafely(const std::string& Target, std::string_view Data);

namespace detail {
// Shared by the platform parts: the temporary file's name for the target's base name, in the same
// folder: ".NAME.RANDOM.tmp", NAME cut so that the whole stays a valid file name.
std::string TempFileName(std::string_view BaseName);
#ifndef _WIN32
// For tests: sees each temporary file's descriptor the moment it has been created.
extern void (*TempFileCreated)(int Descriptor);
#endif
} // namespace detail

} // namespace kvt
