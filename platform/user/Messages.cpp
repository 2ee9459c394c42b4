// Posting, sending, taking and dispatching messages; which windows need painting; and input as
// the display (or a test) delivers it, queued for the target window's thread.
//
// The paint flag is all there is for now: a rectangle marks the whole window, and validating
// clears it.
#include "platform/user/UserQueue.h"
#include "platform/user/Input.h"
#include "platform/display/Backend.h"
#include "platform/user/UserWindow.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

#include <algorithm>
#include <iterator>

using namespace platform::user;

namespace {

// A filter naming a window that does not exist.
bool MissingFilter(HWND filterWindow) {
    return filterWindow && filterWindow != ThreadOnly() && !IsWindow(filterWindow);
}

} // namespace

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = window ? OwnerQueue(window) : MessageQueue::Current();
    return queue && queue->Post(window, message, wParam, lParam) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = OwnerQueue(window);
    if (!queue) return 0;
    if (queue->IsCurrent()) return CallProcedure(window, message, wParam, lParam);
    // WATCHOUT: the lambda keeps lParam as it is; a pointer in it stays valid because this
    // thread waits until the message has been handled.
    return queue->Send([=] { return CallProcedure(window, message, wParam, lParam); });
}

void PostQuitMessage(int exitCode) {
    MessageQueue::Current()->PostQuit(exitCode);
}

BOOL GetMessageA(MSG* msg, HWND filterWindow, UINT first, UINT last) {
    if (!msg || MissingFilter(filterWindow)) return -1;
    MessageQueue::Current()->Next(msg, filterWindow, first, last, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND filterWindow, UINT first, UINT last, UINT removeFlags) {
    if (!msg || MissingFilter(filterWindow)) return FALSE;
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    return MessageQueue::Current()->Next(msg, filterWindow, first, last, remove, false) ? TRUE : FALSE;
}

DWORD GetQueueStatus(UINT flags) {
    const UINT status = MessageQueue::Current()->Status() & flags;
    return static_cast<DWORD>(MAKELONG(status, status));
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    std::shared_ptr<MessageQueue> queue = OwnerQueue(msg->hwnd);
    if (!queue || !queue->IsCurrent()) return 0;
    return CallProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG* msg) {
    // The keys whose code is their character.
    constexpr WPARAM kCharacterKeys[] = {VK_BACK, VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE};
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    if (std::find(std::begin(kCharacterKeys), std::end(kCharacterKeys), msg->wParam) == std::end(kCharacterKeys)) {
        return FALSE;
    }
    return PostMessageA(msg->hwnd, WM_CHAR, msg->wParam, msg->lParam);
}

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

namespace platform {

BOOL PostInput(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = OwnerQueue(target);
    return queue && queue->Post(target, message, wParam, lParam, MessageQueue::Kind::Input) ? TRUE : FALSE;
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
           PostInput(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

BOOL PostClick(HWND window) {
    RECT client;
    if (!GetClientRect(window, &client)) return FALSE;
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    return PostInput(window, WM_LBUTTONDOWN, MK_LBUTTON, middle) && PostInput(window, WM_LBUTTONUP, 0, middle);
}

} // namespace platform
