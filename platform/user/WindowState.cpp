// A window's visible and enabled state, the keyboard focus, and relations and rectangles.
//
// Showing and enabling change what the window's own procedure sees (WM_SHOWWINDOW, WM_ENABLE), so
// when another thread asks, the owning thread does the work while the caller waits.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

using namespace platform::user;

namespace {

// Runs `call` on the window's thread. False in *routed when the calling thread owns it and must
// do the work itself.
template <typename Call>
LRESULT OnOwnerThread(HWND window, bool* routed, Call call) {
    std::shared_ptr<MessageQueue> owner = OwnerQueue(window);
    *routed = owner && !owner->IsCurrent();
    return *routed ? owner->Send(call) : 0;
}

} // namespace

BOOL ShowWindow(HWND handle, int command) {
    bool routed = false;
    const LRESULT result =
        OnOwnerThread(handle, &routed, [=] { return static_cast<LRESULT>(ShowWindow(handle, command)); });
    if (routed) return static_cast<BOOL>(result);

    const bool show = command != SW_HIDE;
    bool wasVisible = false;
    {
        ModelLock lock(ModelMutex());
        Window* window = Find(handle);
        if (!window) return FALSE;
        wasVisible = (window->style & WS_VISIBLE) != 0;
    }
    if (show == wasVisible) return wasVisible ? TRUE : FALSE;
    CallProcedure(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    HWND parent = nullptr;
    {
        ModelLock lock(ModelMutex());
        Window* window = Find(handle);
        if (!window) return wasVisible ? TRUE : FALSE;
        if (show) {
            window->style |= WS_VISIBLE;
        } else {
            window->style &= ~WS_VISIBLE;
        }
        parent = window->parent;
    }
    // What was under a hidden window shows again; a shown one paints itself.
    if (show) {
        InvalidateRect(handle, nullptr, TRUE);
    } else if (parent) {
        InvalidateRect(parent, nullptr, TRUE);
    } else {
        platform::display::Current().WindowChanged(handle);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    return window && VisibleWithAncestors(*window) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
    bool routed = false;
    const LRESULT result =
        OnOwnerThread(handle, &routed, [=] { return static_cast<LRESULT>(EnableWindow(handle, enable)); });
    if (routed) return static_cast<BOOL>(result);

    bool wasDisabled = false;
    bool hadFocus = false;
    {
        ModelLock lock(ModelMutex());
        Window* window = Find(handle);
        if (!window) return FALSE;
        wasDisabled = (window->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
        if (enable) {
            window->style &= ~WS_DISABLED;
        } else {
            window->style |= WS_DISABLED;
        }
        hadFocus = window->queue->focus == handle;
    }
    // A disabled window cannot keep the keyboard focus.
    if (!enable && hadFocus) SetFocus(nullptr);
    CallProcedure(handle, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    return window && !(window->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND SetFocus(HWND handle) {
    std::shared_ptr<MessageQueue> me = MessageQueue::Current();
    HWND previous = nullptr;
    {
        ModelLock lock(ModelMutex());
        if (handle) {
            const Window* window = Find(handle);
            if (!window || window->queue != me) return nullptr;
        }
        previous = me->focus;
        if (previous == handle) return previous;
    }
    if (previous) CallProcedure(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    {
        ModelLock lock(ModelMutex());
        // The window may have gone while the old focus heard of the change.
        me->focus = (handle && Find(handle)) ? handle : nullptr;
    }
    if (handle) CallProcedure(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND GetFocus() {
    MessageQueue* me = MessageQueue::CurrentIfAny();
    if (!me) return nullptr;
    ModelLock lock(ModelMutex());
    return Find(me->focus) ? me->focus : nullptr;
}

HWND GetParent(HWND handle) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    if (!window) return nullptr;
    return window->parent ? window->parent : window->owner;
}

HWND GetDlgItem(HWND dialog, int id) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(dialog);
    if (!window) return nullptr;
    for (HWND child : window->children) {
        const Window* item = Find(child);
        if (item && item->id == id) return child;
    }
    return nullptr;
}

int GetDlgCtrlID(HWND handle) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    return window && window->parent ? window->id : 0;
}

BOOL GetClientRect(HWND handle, RECT* rect) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    if (!window || !rect) return FALSE;
    *rect = RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    return TRUE;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
    ModelLock lock(ModelMutex());
    const Window* window = Find(handle);
    if (!window || !rect) return FALSE;
    *rect = window->rect;
    for (const Window* above = Find(window->parent); above; above = Find(above->parent)) {
        rect->left += above->rect.left;
        rect->right += above->rect.left;
        rect->top += above->rect.top;
        rect->bottom += above->rect.top;
    }
    return TRUE;
}
