#include "tools/ctl/ctl_input.h"

#include <windows.h>

#include <algorithm>

namespace kvt::ctl {

namespace {

TInputEvent FromConsole(HANDLE In, int Ms)
{
    if (WaitForSingleObject(In, static_cast<DWORD>(Ms)) != WAIT_OBJECT_0)
        return TInputEvent::Nothing;
    INPUT_RECORD records[32];
    DWORD count = 0;
    if (!ReadConsoleInputW(In, records, 32, &count))
        return TInputEvent::End;
    for (DWORD i = 0; i < count; ++i) {
        const KEY_EVENT_RECORD& k = records[i].Event.KeyEvent;
        if (records[i].EventType == KEY_EVENT && k.bKeyDown && k.wVirtualKeyCode == VK_RETURN)
            return TInputEvent::Line;
    }
    return TInputEvent::Nothing;
}

TInputEvent FromPipeOrFile(HANDLE In, DWORD Type, int Ms)
{
    const DWORD step = 20;
    DWORD waited = 0;
    for (;;) {
        DWORD available = 0;
        if (Type == FILE_TYPE_PIPE && !PeekNamedPipe(In, nullptr, 0, nullptr, &available, nullptr))
            return TInputEvent::End; // the writer went away
        if (Type != FILE_TYPE_PIPE || available > 0) {
            char buffer[256];
            DWORD n = 0;
            const DWORD want = Type == FILE_TYPE_PIPE ? std::min<DWORD>(available, sizeof buffer) : sizeof buffer;
            if (!ReadFile(In, buffer, want, &n, nullptr) || n == 0)
                return TInputEvent::End;
            for (DWORD i = 0; i < n; ++i)
                if (buffer[i] == '\n' || buffer[i] == '\r')
                    return TInputEvent::Line;
            return TInputEvent::Nothing;
        }
        if (waited >= static_cast<DWORD>(Ms))
            return TInputEvent::Nothing;
        Sleep(step);
        waited += step;
    }
}

} // namespace

TInputEvent WaitForInput(int Ms)
{
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in == nullptr || in == INVALID_HANDLE_VALUE)
        return TInputEvent::End;
    const DWORD type = GetFileType(in);
    DWORD mode = 0;
    if (type == FILE_TYPE_CHAR)
        return GetConsoleMode(in, &mode) ? FromConsole(in, Ms) : TInputEvent::End; // NUL is a character device
    return FromPipeOrFile(in, type, Ms);
}

} // namespace kvt::ctl
