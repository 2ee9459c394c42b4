// Input as the display (or a test) delivers it: queued for the target window's thread.
#include "platform/user/Input.h"

#include "platform/user/UserWindow.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

using namespace platform::user;

namespace platform {

BOOL PostInput(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = OwnerQueue(target);
    return queue && queue->Post(MSG{target, message, wParam, lParam, MessageTime(), {0, 0}}, MessageQueue::Kind::Input)
               ? TRUE
               : FALSE;
}

BOOL PostKeyPress(HWND window, UINT virtualKey) {
    HWND target = window;
    {
        ModelLock lock(ModelMutex());
        const Window* top = Find(window);
        if (!top) return FALSE;
        const Window* focus = Find(top->queue->focus);
        if (focus && IsSelfOrDescendant(*focus, window)) target = focus->handle;
    }
    // lParam: repeat count 1; a key-up also has the previous-state and transition bits.
    return PostInput(target, WM_KEYDOWN, virtualKey, 1) &&
                   PostInput(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u))
               ? TRUE
               : FALSE;
}

BOOL PostClick(HWND window) {
    RECT client;
    if (!GetClientRect(window, &client)) return FALSE;
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    return PostInput(window, WM_LBUTTONDOWN, MK_LBUTTON, middle) &&
                   PostInput(window, WM_LBUTTONUP, 0, middle)
               ? TRUE
               : FALSE;
}

} // namespace platform
