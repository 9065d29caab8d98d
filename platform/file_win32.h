// What the Windows parts of the safe writer and the text reader share.
#pragma once

#include <string>

namespace kvt::detail {

// UTF-8 to the wide form of the Windows API; throws EFileError for a name that is not UTF-8.
std::wstring WidePath(const std::string& Utf8);
// Throws EFileError for the system's error Code (GetLastError), with the system's text.
[[noreturn]] void FailWin32(unsigned long Code, const std::string& Name);
// Whether a reparse point with this tag stands for another file (a symbolic link, a junction)
// rather than being the file itself (OneDrive's files on demand and other cloud files).
bool IsLinkReparseTag(unsigned long Tag);
// Failures of a rename over a file that another program holds for a moment.
bool IsPassingMoveError(unsigned long Code);
// Throws EFileError for a name that stands for a device (CON, NUL, COM1, \\.\...): opening or
// replacing such a name would act on the device.
void RefuseDeviceName(const std::string& Name);

} // namespace kvt::detail
