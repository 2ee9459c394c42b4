// Which windows need painting. The flag is all there is for now: a rectangle marks the whole
// window, and validating clears it.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

using namespace platform::user;

BOOL InvalidateRect(HWND handle, const RECT*, BOOL) {
    std::shared_ptr<MessageQueue> queue;
    {
        ModelLock lock(ModelMutex());
        Window* window = Find(handle);
        if (!window) return FALSE;
        window->needsPaint = true;
        queue = window->queue;
    }
    // The owner may be waiting in GetMessageA with nothing else to do: it has painting now.
    queue->Wake();
    platform::display::Current().WindowChanged(handle);
    return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT*) {
    ModelLock lock(ModelMutex());
    Window* window = Find(handle);
    if (!window) return FALSE;
    window->needsPaint = false;
    return TRUE;
}

BOOL UpdateWindow(HWND handle) {
    bool paint = false;
    {
        ModelLock lock(ModelMutex());
        const Window* window = Find(handle);
        if (!window) return FALSE;
        paint = window->needsPaint && VisibleWithAncestors(*window);
    }
    if (paint) SendMessageA(handle, WM_PAINT, 0, 0);
    return TRUE;
}
