// The window model: each window's record, the table that maps handles to records, and each
// thread's message queue.
//
// All records and the class table are guarded by one lock, the model lock. Window procedures run
// without it: code looks a window up under the lock, copies what it needs, and lets go before it
// calls anything.
//
// WATCHOUT: the model lock is the innermost lock of the window system. While it is held nothing
// else is locked, no window procedure runs and no display backend is called; a queue may lock it
// while holding its own lock, never the other way round.
//
// One thread's message queue: messages sent to it from other threads, posted messages, input,
// the quit request, and the thread's keyboard focus.
//
// A queue is made for a thread the first time it needs one (it creates a window, sends to
// another thread, asks for messages) and ends with the thread: the thread's windows go away
// without further messages, and senders still waiting for it get 0. The process's first thread
// is the exception: it ends only with the process, so its windows stay and anyone sending to them
// then waits until the process is gone.
#pragma once

#include "platform/user/Model.h"
#include "platform/user/UserWindow.h"
#include "platform/runtime/WinTypes.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::user {

class MessageQueue;

// A message sent from another thread: `call` runs on the receiving thread, and the sender waits
// in its own queue until `done`; a notification has no sender and nobody waits.
struct SentCall {
    std::function<LRESULT()> call;
    std::shared_ptr<MessageQueue> sender;
    bool done = false;   // guarded by the sender's queue lock
    LRESULT result = 0;  // guarded by the sender's queue lock
};

class MessageQueue {
public:
    // The calling thread's queue, made on first need.
    static std::shared_ptr<MessageQueue> Current();
    // The calling thread's queue, or null if it has none yet.
    static MessageQueue* CurrentIfAny();
    bool IsCurrent() const { return this == CurrentIfAny(); }

    // Which of the queue's two lists a posted message joins: input (keys and clicks) is taken
    // after the posted messages, as the window system orders them.
    enum class Kind { Posted, Input };
    // Append, stamped with the time; false when the queue's thread has ended.
    bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Kind kind = Kind::Posted);
    void PostQuit(int exitCode);

    // Runs `call` on this queue's thread and returns its result, or 0 when the thread has ended.
    // The calling thread (whose queue this must not be) handles messages sent to it meanwhile.
    LRESULT Send(std::function<LRESULT()> call);
    // Runs `call` on this queue's thread in its turn among the messages sent to it, and returns
    // at once: for a message whose answer the sender does not need.
    void Notify(std::function<LRESULT()> call);

    // For the owning thread: handles every message sent to it, then takes the next message for
    // the filter in the order posted, quit, input, paint. With `wait` it waits for one;
    // otherwise it returns false when there is none. Without `remove` the message stays queued.
    bool Next(MSG* msg, HWND filterWindow, UINT first, UINT last, bool remove, bool wait);
    // QS_* flags of what is waiting.
    UINT Waiting();
    // Whether the key is down, as the key messages taken out of the queue so far tell.
    bool KeyDown(UINT virtualKey);
    // Something outside the queue changed (a window of the thread needs painting): look again.
    void Wake();
    // The thread has ended; see the top of this file.
    void Shutdown();

    // The thread's keyboard focus window. Guarded by the model lock, not by the queue's own.
    HWND focus = nullptr;

private:
    void Complete(SentCall& sent, LRESULT result);
    // Handles the first message another thread has sent, with `lock` (on mMutex) let go
    // meanwhile; false when none is waiting.
    bool HandleSent(std::unique_lock<std::mutex>& lock);
    // Need mMutex held.
    bool TakeFrom(std::deque<MSG>& messages, MSG* msg, HWND filterWindow, UINT first, UINT last, bool remove);
    bool FindPaint(MSG* msg, HWND filterWindow, UINT first, UINT last);
    void NoteKey(const MSG& msg);

    std::mutex mMutex;
    std::condition_variable mWake;                   // anything arrived, or a reply came in
    std::deque<std::shared_ptr<SentCall>> mSent;     // from other threads, handled first
    std::deque<MSG> mPosted;
    std::deque<MSG> mInput;
    bool mQuit = false;                              // PostQuitMessage was called
    int mQuitCode = 0;
    bool mEnded = false;                             // the thread is gone
    std::array<bool, 256> mKeysDown{};               // by virtual key
};

// The filter window of GetMessageA and PeekMessageA that asks for the thread's own messages only.
inline HWND ThreadOnly() {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
}

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
