// A window's visible and enabled state, the keyboard focus, relations and rectangles, and the
// modal message box (the display presents it while its owner is disabled).
//
// Showing and enabling change what the window's own procedure sees (WM_SHOWWINDOW, WM_ENABLE), so
// when another thread asks, the owning thread does the work while the caller waits.
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

#include <algorithm>

using namespace platform::user;

namespace {

// The queue of the window's thread when that is not the calling thread, which must then ask it
// to do the work; null when the calling thread owns the window (or it is gone).
std::shared_ptr<MessageQueue> OtherOwner(HWND window) {
    std::shared_ptr<MessageQueue> owner = OwnerQueue(window);
    return owner && !owner->IsCurrent() ? owner : nullptr;
}

void SetStyle(Window& window, DWORD flag, bool on) {
    window.style = on ? window.style | flag : window.style & ~flag;
}

} // namespace

BOOL ShowWindow(HWND handle, int command) {
    if (auto owner = OtherOwner(handle)) {
        return static_cast<BOOL>(owner->Send([=] { return static_cast<LRESULT>(ShowWindow(handle, command)); }));
    }
    const bool show = command != SW_HIDE;
    // A window that is gone counts as hidden: nothing below changes anything then.
    const bool wasVisible = WithWindow(handle, [](Window& window) { return (window.style & WS_VISIBLE) != 0; });
    if (show == wasVisible) return wasVisible ? TRUE : FALSE;
    CallProcedure(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    HWND parent = nullptr;
    const bool shown = WithWindow(handle, [&](Window& window) {
        SetStyle(window, WS_VISIBLE, show);
        parent = window.parent;
        return true;
    });
    if (!shown) return wasVisible ? TRUE : FALSE;
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
    return WithWindow(handle, [](Window& window) { return VisibleWithAncestors(window); }) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
    if (auto owner = OtherOwner(handle)) {
        return static_cast<BOOL>(owner->Send([=] { return static_cast<LRESULT>(EnableWindow(handle, enable)); }));
    }
    bool wasDisabled = false;
    bool hadFocus = false;
    const bool changed = WithWindow(handle, [&](Window& window) {
        wasDisabled = (window.style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return false;
        SetStyle(window, WS_DISABLED, !enable);
        hadFocus = window.queue->focus == handle;
        return true;
    });
    if (!changed) return wasDisabled ? TRUE : FALSE;
    // A disabled window cannot keep the keyboard focus.
    if (!enable && hadFocus) SetFocus(nullptr);
    CallProcedure(handle, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
    return WithWindow(handle, [](Window& window) { return !(window.style & WS_DISABLED); }) ? TRUE : FALSE;
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
    return WithWindow(handle, [](Window& window) { return window.parent ? window.parent : window.owner; });
}

HWND GetDlgItem(HWND dialog, int id) {
    return WithWindow(dialog, [id](Window& window) -> HWND {
        const std::vector<HWND>& children = window.children;
        const auto item =
            std::find_if(children.begin(), children.end(), [id](HWND child) { return Find(child)->id == id; });
        return item == children.end() ? nullptr : *item;
    });
}

int GetDlgCtrlID(HWND handle) {
    return WithWindow(handle, [](Window& window) { return window.parent ? window.id : 0; });
}

BOOL GetClientRect(HWND handle, RECT* rect) {
    return rect && WithWindow(handle, [rect](Window& window) {
        *rect = RECT{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
        return true;
    }) ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
    return rect && WithWindow(handle, [rect](Window& window) {
        *rect = window.rect;
        for (const Window* above = Find(window.parent); above; above = Find(above->parent)) {
            rect->left += above->rect.left;
            rect->right += above->rect.left;
            rect->top += above->rect.top;
            rect->bottom += above->rect.top;
        }
        return true;
    }) ? TRUE : FALSE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    HWND top = WithWindow(owner, [](Window& window) { return Root(window)->handle; });
    // The owner stays disabled while the box is up, and is enabled afterwards only if this box
    // was what disabled it (a box over a box leaves it to the outer one).
    const bool disabledHere = top && !EnableWindow(top, FALSE);
    const int answer =
        platform::display::Current().ShowMessageBox(top, text ? text : "", caption ? caption : "Error", style);
    if (disabledHere) EnableWindow(top, TRUE);
    return answer;
}
