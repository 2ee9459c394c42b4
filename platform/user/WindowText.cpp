// Window and item texts. Every text goes through WM_SETTEXT and WM_GETTEXT, so a window's own
// procedure (or its thread, for a caller on another thread) handles it.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"

#include <cstdint>
#include <cstdio>

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    return static_cast<int>(
        SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextA(item, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    if (buffer && size > 0) buffer[0] = '\0';
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(GetWindowTextA(item, buffer, size)) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    } else {
        std::snprintf(text, sizeof text, "%u", value);
    }
    return SetDlgItemTextA(dialog, id, text);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    char text[64];
    GetDlgItemTextA(dialog, id, text, static_cast<int>(sizeof text));
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    const bool negative = isSigned && *p == '-';
    if (negative) ++p;
    if (*p < '0' || *p > '9') return 0;
    // Up to 2^31 for a negative number, 2^31 - 1 signed, 2^32 - 1 unsigned.
    const std::int64_t limit = negative ? 0x80000000LL : (isSigned ? 0x7FFFFFFFLL : 0xFFFFFFFFLL);
    std::int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit) return 0;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '\0') return 0;
    if (translated) *translated = TRUE;
    return static_cast<UINT>(negative ? -value : value);
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, message, wParam, lParam) : 0;
}
