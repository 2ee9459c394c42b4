// Making and destroying windows.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Model.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"

#include <vector>

namespace platform::user {
namespace {

int OrZero(int value) {
    return value == CW_USEDEFAULT ? 0 : value;
}

// Removes a window that never finished its creation.
void Discard(HWND window) {
    CallProcedure(window, WM_NCDESTROY, 0, 0);
    ModelLock lock(ModelMutex());
    Erase(window);
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

// The children go first, so a window's last message finds nothing left below it.
void SendFinalDestroy(HWND window) {
    for (HWND child : platform::ChildWindows(window)) SendFinalDestroy(child);
    CallProcedure(window, WM_NCDESTROY, 0, 0);
    ModelLock lock(ModelMutex());
    Erase(window);
}

} // namespace
} // namespace platform::user

using namespace platform::user;

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
        Window* relative = parent ? Find(parent) : nullptr;
        if (parent && !relative) return nullptr;
        if (child) {
            if (!relative) return nullptr;
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
        Discard(handle);
        return nullptr;
    }
    if (CallProcedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (style & WS_VISIBLE) {
        ModelLock lock(ModelMutex());
        if (Window* made = Find(handle)) made->style |= WS_VISIBLE;
    }
    if (!IsWindow(handle)) return nullptr;
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
        for (const Window* other : AllWindows()) {
            if (other->owner == handle) owned.push_back(other->handle);
        }
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
