// System error codes on Windows are those of GetLastError; their texts come from FormatMessage.
#include "platform/syserror.h"

#include "platform/utf8.h"

#include <windows.h>

namespace kvt::platform {

const int ErrorBadHandle = ERROR_INVALID_HANDLE;
const int ErrorBadBuffer = ERROR_NOACCESS;
const int ErrorDeviceGone = ERROR_DEVICE_NOT_CONNECTED;

std::string SysErrorMessage(int Code)
{
    wchar_t* Buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
            | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, static_cast<DWORD>(Code), 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
    std::string Text;
    if (n > 0 && Buffer != nullptr)
        Text = Utf8FromWide(std::wstring_view(Buffer, n));
    if (Buffer != nullptr)
        LocalFree(Buffer);
    Text = TrimSystemText(std::move(Text));
    if (Text.empty()) {
        Text = "System error ";
        Text += std::to_string(Code);
    }
    return Text;
}

} // namespace kvt::platform
