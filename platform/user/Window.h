// The window model's storage: each window's record and the table that maps handles to records.
//
// All records and the class table are guarded by one lock, the model lock. Window procedures run
// without it: code looks a window up under the lock, copies what it needs, and lets go before it
// calls anything.
//
// WATCHOUT: the model lock is the innermost lock of the window system. While it is held nothing
// else is locked, no window procedure runs and no display backend is called; a queue may lock it
// while holding its own lock, never the other way round.
#pragma once

#include "platform/user/Model.h"
#include "platform/user/UserWindow.h"
#include "platform/runtime/WinTypes.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::user {

class MessageQueue;
struct WindowClass;

// State that a control class keeps for each of its windows (a progress bar's range and position,
// a button's pressed state). Read and changed under the model lock only.
struct ControlData {
    virtual ~ControlData() = default;
    // Fills in what a display needs to draw the control.
    virtual void Describe(WindowView& view) const = 0;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<const WindowClass> windowClass;
    WNDPROC procedure = nullptr;            // starts as the class's procedure
    std::shared_ptr<MessageQueue> queue;     // the owning thread's queue
    HWND parent = nullptr;                   // set for a child window (WS_CHILD)
    HWND owner = nullptr;                    // set for an owned top-level window
    std::vector<HWND> children;              // in creation order
    int id = 0;                              // control id of a child
    DWORD style = 0;                         // WS_VISIBLE and WS_DISABLED are the live state
    RECT rect{};                             // in the parent's client coordinates
    std::string text;
    bool needsPaint = false;                 // invalidated, not yet validated
    bool destroying = false;                 // DestroyWindow has begun on it
    std::unique_ptr<ControlData> control;    // made by the control class on first use
    // What has been drawn into the client area: made, as large as the client area, by the first
    // drawing context on the window; empty until then.
    SurfaceView surface;
    // Set for windows made from a dialog template.
    INT_PTR (*dialogProcedure)(HWND, UINT, WPARAM, LPARAM) = nullptr; // null: none
};

// Needs the model lock. Makes the window's surface unless it has one; false for a window
// without a client area. (A window keeps its size, so a surface never needs fitting again.)
bool EnsureSurface(Window& window);

using ModelLock = std::unique_lock<std::mutex>;
std::mutex& ModelMutex();

// The following need the model lock.

// The window's record; null for a handle that is unknown or whose window is gone.
Window* Find(HWND window);
// Takes the record into the table and gives it a new handle, never used before.
HWND Insert(std::unique_ptr<Window> window);
// Removes the window and its descendants without calling anything: unlinks it from its parent
// and takes the focus away from it.
void Erase(HWND window);
// Every window in creation order.
std::vector<Window*> AllWindows();
// `window` is `ancestor` or lies below it.
bool IsSelfOrDescendant(const Window& window, HWND ancestor);
// The window and all its ancestors are enabled (it may take input) / visible (it can be seen).
bool EnabledWithAncestors(const Window& window);
bool VisibleWithAncestors(const Window& window);
// The top-level window above a child, or the window itself.
Window* Root(Window& window);

// The queue of the window's thread; null when the window is gone. Locks the model itself.
std::shared_ptr<MessageQueue> OwnerQueue(HWND window);
// Calls the window's procedure on the calling thread; 0 when the window is gone.
LRESULT CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Locks the model and returns what `use` makes of the window's record; a default result (null,
// false, 0) when the window is gone. `use` must not call out.
template <typename Use>
auto WithWindow(HWND handle, Use use) -> decltype(use(std::declval<Window&>())) {
    ModelLock lock(ModelMutex());
    Window* window = Find(handle);
    if (!window) return {};
    return use(*window);
}

} // namespace platform::user
