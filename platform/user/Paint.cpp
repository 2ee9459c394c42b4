// Which windows need painting. The flag is all there is for now: a rectangle marks the whole
// window, and validating clears it.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

using namespace platform::user;

BOOL InvalidateRect(HWND handle, const RECT*, BOOL) {
    std::shared_ptr<MessageQueue> queue = WithWindow(handle, [](Window& window) {
        window.needsPaint = true;
        return window.queue;
    });
    if (!queue) return FALSE;
    // The owner may be waiting in GetMessageA with nothing else to do: it has painting now.
    queue->Wake();
    platform::display::Current().WindowChanged(handle);
    return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT*) {
    return WithWindow(handle, [](Window& window) {
        window.needsPaint = false;
        return TRUE;
    });
}

BOOL UpdateWindow(HWND handle) {
    bool paint = false;
    const bool found = WithWindow(handle, [&paint](Window& window) {
        paint = window.needsPaint && VisibleWithAncestors(window);
        return true;
    });
    if (paint) SendMessageA(handle, WM_PAINT, 0, 0);
    return found ? TRUE : FALSE;
}
