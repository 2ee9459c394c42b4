// What a window does with a message its own procedure leaves to the system.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/Window.h"

#include <algorithm>
#include <cstring>

using namespace platform::user;

namespace {

void StoreText(HWND handle, LPCSTR text) {
    {
        ModelLock lock(ModelMutex());
        Window* window = Find(handle);
        if (!window) return;
        window->text = text ? text : "";
    }
    // A top-level window's text is its caption, outside the client area: tell the display.
    platform::display::Current().WindowChanged(handle);
}

// At most size - 1 characters and a terminator; the number of characters copied.
LRESULT CopyText(HWND handle, char* buffer, WPARAM size) {
    if (!buffer || size == 0) return 0;
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    const std::size_t count = window ? std::min<std::size_t>(window->text.size(), size - 1) : 0;
    if (count) std::memcpy(buffer, window->text.data(), count);
    buffer[count] = '\0';
    return static_cast<LRESULT>(count);
}

LRESULT TextLength(HWND handle) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    return window ? static_cast<LRESULT>(window->text.size()) : 0;
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
    case WM_GETTEXT:
        return CopyText(window, reinterpret_cast<char*>(lParam), wParam);
    case WM_GETTEXTLENGTH:
        return TextLength(window);
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
