// What a window does with a message its own procedure leaves to the system, and the item texts.
// Every text goes through WM_SETTEXT and WM_GETTEXT, so a window's own procedure (or its thread,
// for a caller on another thread) handles it.
#include "platform/display/HeadlessUser.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/Window.h"

#include <cstdio>
#include <string>

using namespace platform::user;

namespace {

void StoreText(HWND handle, LPCSTR text) {
    const bool stored = WithWindow(handle, [text](Window& window) {
        window.text = text ? text : "";
        return true;
    });
    // A top-level window's text is its caption, outside the client area: tell the display.
    if (stored) platform::display::Current().WindowChanged(handle);
}

std::string Text(HWND handle) {
    return WithWindow(handle, [](Window& window) { return window.text; });
}

} // namespace

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        StoreText(window, create ? create->lpszName : nullptr);
        return TRUE;
    }
    case WM_SETTEXT:
        StoreText(window, reinterpret_cast<LPCSTR>(lParam));
        return TRUE;
    case WM_GETTEXT: {
        // At most wParam - 1 characters and a terminator; the number of characters copied.
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        const std::size_t count = Text(window).copy(buffer, wParam - 1);
        buffer[count] = '\0';
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(Text(window).size());
    case WM_PAINT:
        ValidateRect(window, nullptr);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

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
