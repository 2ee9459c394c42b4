// Windows: creation and destruction; the visible and enabled state, the keyboard focus,
// relations and rectangles; texts and the default procedure; and the modal message box (the
// display presents it while its owner is disabled).
//
// Showing and enabling change what the window's own procedure sees (WM_SHOWWINDOW, WM_ENABLE), so
// when another thread asks, the owning thread does the work while the caller waits. Every text
// goes through WM_SETTEXT and WM_GETTEXT, so a window's own procedure (or its thread, for a caller
// on another thread) handles it.
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/DisplayDriver.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace platform::user;

namespace {

int OrZero(int value) {
    return value == CW_USEDEFAULT ? 0 : value;
}

void MarkDestroying(HWND handle) {
    Window* window = Find(handle);
    if (!window) return;
    window->destroying = true;
    for (HWND child : window->children) MarkDestroying(child);
}

// The parent hears first, while all its children still exist.
void SendDestroy(HWND window) {
    CallProcedure(window, WM_DESTROY, 0, 0);
    for (HWND child : platform::ChildWindows(window)) SendDestroy(child);
}

// The children go first, so a window's last message finds nothing left below it. Also what
// removes a window that never finished its creation.
void SendFinalDestroy(HWND window) {
    for (HWND child : platform::ChildWindows(window)) SendFinalDestroy(child);
    CallProcedure(window, WM_NCDESTROY, 0, 0);
    ModelLock lock(ModelMutex());
    Erase(window);
}

// The queue of the window's thread when that is not the calling thread, which must then ask it
// to do the work; null when the calling thread owns the window (or it is gone).
std::shared_ptr<MessageQueue> OtherOwner(HWND window) {
    std::shared_ptr<MessageQueue> owner = OwnerQueue(window);
    return owner && !owner->IsCurrent() ? owner : nullptr;
}

void SetStyle(Window& window, DWORD flag, bool on) {
    window.style = on ? window.style | flag : window.style & ~flag;
}

void StoreText(HWND handle, LPCSTR text) {
    const bool stored = WithWindow(handle, [text](Window& window) {
        window.text = text ? text : "";
        return true;
    });
    // A top-level window's text is its caption, outside the client area: tell the display.
    if (stored) platform::display::Current().TextChanged(handle);
}

std::string Text(HWND handle) {
    return WithWindow(handle, [](Window& window) { return window.text; });
}

} // namespace

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    std::shared_ptr<const WindowClass> windowClass = FindClass(className);
    if (!windowClass) return nullptr;
    auto window = std::make_unique<Window>();
    window->windowClass = windowClass;
    window->procedure = windowClass->procedure;
    window->queue = MessageQueue::Current();
    // The window starts hidden and is shown once its procedure has accepted it.
    window->style = style & ~WS_VISIBLE;
    window->rect = RECT{OrZero(x), OrZero(y), OrZero(x) + OrZero(width), OrZero(y) + OrZero(height)};
    window->needsPaint = true;
    const bool child = (style & WS_CHILD) != 0;
    HWND handle = nullptr;
    {
        ModelLock lock(ModelMutex());
        // A child needs its parent; an owner named must exist.
        Window* relative = parent ? Find(parent) : nullptr;
        if ((parent || child) && !relative) return nullptr;
        if (child) {
            window->parent = parent;
            window->id = static_cast<int>(reinterpret_cast<std::intptr_t>(menu));
        } else if (relative) {
            window->owner = Root(*relative)->handle;
        }
        handle = Insert(std::move(window));
        if (child) relative->children.push_back(handle);
    }

    CREATESTRUCTA create{param,  instance, menu, parent,    height,     width,
                         y,      x,        static_cast<LONG>(style), windowName, className,
                         exStyle};
    if (!CallProcedure(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        SendFinalDestroy(handle);
        return nullptr;
    }
    if (CallProcedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    // Gone already when its procedure destroyed it while it was being made.
    const bool made = WithWindow(handle, [style](Window& record) {
        record.style |= style & WS_VISIBLE;
        return true;
    });
    if (!made) return nullptr;
    InvalidateRect(handle, nullptr, TRUE);
    return handle;
}

BOOL DestroyWindow(HWND handle) {
    std::vector<HWND> owned;
    HWND repaint = nullptr;
    {
        ModelLock lock(ModelMutex());
        Window* window = Find(handle);
        if (!window || !window->queue->IsCurrent() || window->destroying) return FALSE;
        MarkDestroying(handle);
        for (const Window* other : AllWindows())
            if (other->owner == handle) owned.push_back(other->handle);
        if (window->style & WS_VISIBLE) {
            window->style &= ~WS_VISIBLE;
            repaint = window->parent;
        }
    }
    for (HWND ownedWindow : owned) DestroyWindow(ownedWindow);
    SendDestroy(handle);
    SendFinalDestroy(handle);
    if (repaint) InvalidateRect(repaint, nullptr, TRUE);
    platform::display::Current().WindowChanged(handle);
    return TRUE;
}

BOOL IsWindow(HWND handle) {
    ModelLock lock(ModelMutex());
    return Find(handle) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND handle, int command) {
    if (auto owner = OtherOwner(handle)) {
        return static_cast<BOOL>(owner->Send([=] { return static_cast<LRESULT>(ShowWindow(handle, command)); }));
    }
    const bool show = command != SW_HIDE;
    // A window that is gone counts as hidden: nothing below changes anything then.
    const bool wasVisible = WithWindow(handle, [](Window& window) { return (window.style & WS_VISIBLE) != 0; });
    if (show == wasVisible) return wasVisible ? TRUE : FALSE;
    CallProcedure(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    // The parent, when the window is still there.
    const auto parent = WithWindow(handle, [show](Window& window) -> std::optional<HWND> {
        SetStyle(window, WS_VISIBLE, show);
        return window.parent;
    });
    if (!parent) return wasVisible ? TRUE : FALSE;
    // What was under a hidden window shows again; a shown one paints itself.
    if (show) {
        InvalidateRect(handle, nullptr, TRUE);
    } else if (*parent) {
        InvalidateRect(*parent, nullptr, TRUE);
    } else {
        platform::display::Current().WindowChanged(handle);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
    if (auto owner = OtherOwner(handle)) {
        return static_cast<BOOL>(owner->Send([=] { return static_cast<LRESULT>(EnableWindow(handle, enable)); }));
    }
    bool wasDisabled = false;
    // Whether it had the focus; empty when nothing changed (or the window is gone).
    const auto hadFocus = WithWindow(handle, [&](Window& window) -> std::optional<bool> {
        wasDisabled = (window.style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return std::nullopt;
        SetStyle(window, WS_DISABLED, !enable);
        return window.queue->focus == handle;
    });
    if (!hadFocus) return wasDisabled ? TRUE : FALSE;
    // A disabled window cannot keep the keyboard focus.
    if (!enable && *hadFocus) SetFocus(nullptr);
    CallProcedure(handle, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
    return WithWindow(handle, [](Window& window) { return !(window.style & WS_DISABLED); }) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
    return WithWindow(handle, [](Window& window) { return (window.style & WS_VISIBLE) != 0; }) ? TRUE : FALSE;
}

HWND SetFocus(HWND handle) {
    std::shared_ptr<MessageQueue> me = MessageQueue::Current();
    HWND previous = nullptr;
    {
        ModelLock lock(ModelMutex());
        const Window* window = handle ? Find(handle) : nullptr;
        if (handle && (!window || window->queue != me)) return nullptr;
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
    return item && SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    // A missing item: a send to no window answers 0 and leaves the buffer empty.
    return static_cast<UINT>(SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, static_cast<WPARAM>(size),
                                          reinterpret_cast<LPARAM>(buffer)));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    std::snprintf(text, sizeof text, isSigned ? "%d" : "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}
