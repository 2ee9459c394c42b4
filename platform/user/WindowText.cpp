// Window and item texts. Every text goes through WM_SETTEXT and WM_GETTEXT, so a window's own
// procedure (or its thread, for a caller on another thread) handles it.
#include "platform/display/HeadlessUser.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"

#include <cstdio>

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    const BOOL set = item && SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
    // A headless run ends when the button's text says it may: its stand-in user looks at once.
    platform::WakeHeadlessUser();
    return set;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(SendMessageA(item, WM_GETTEXT, static_cast<WPARAM>(size),
                                                 reinterpret_cast<LPARAM>(buffer)))
                : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    std::snprintf(text, sizeof text, isSigned ? "%d" : "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}
