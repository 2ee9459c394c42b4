// Message queues, and the calls on them: posting, sending, taking and dispatching messages;
// which windows need painting; and input as the display (or a test) delivers it, queued for the
// target window's thread.
//
// The paint flag is all there is for now: a rectangle marks the whole window, and validating
// clears it.
#include "platform/user/Input.h"
#include "platform/user/UserQueue.h"
#include "platform/user/DisplayDriver.h"
#include "platform/user/Window.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace platform::user {
namespace {

// Holds the thread's queue and shuts it when the thread ends.
struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder() {
        // The process's first thread ends only as the process ends (its thread-local objects go
        // at exit). Its windows stay, so a worker that sends to them just waits for the end.
        if (queue && ::gettid() != ::getpid()) queue->Shutdown();
    }
};

thread_local QueueHolder tHolder;

bool InRange(UINT message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (first <= message && message <= last);
}

// Needs the model lock. Whether a message for `target` passes the window filter.
bool PassesFilter(HWND target, HWND filterWindow) {
    if (!filterWindow) return true;
    if (filterWindow == ThreadOnly()) return target == nullptr;
    if (!target) return false;
    const Window* window = Find(target);
    return window && IsSelfOrDescendant(*window, filterWindow);
}

// Milliseconds since the window system started, for MSG::time.
DWORD MessageTime() {
    static const auto start = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

} // namespace

std::shared_ptr<MessageQueue> MessageQueue::Current() {
    if (!tHolder.queue) tHolder.queue = std::make_shared<MessageQueue>();
    return tHolder.queue;
}

MessageQueue* MessageQueue::CurrentIfAny() {
    return tHolder.queue.get();
}

bool MessageQueue::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Kind kind) {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mEnded) return false;
        (kind == Kind::Input ? mInput : mPosted).push_back(MSG{window, message, wParam, lParam, MessageTime(), {0, 0}});
    }
    mWake.notify_all();
    return true;
}

void MessageQueue::PostQuit(int exitCode) {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mQuit = true;
        mQuitCode = exitCode;
    }
    mWake.notify_all();
}

LRESULT MessageQueue::Send(std::function<LRESULT()> call) {
    std::shared_ptr<MessageQueue> me = Current();
    if (me.get() == this) return call();
    auto sent = std::make_shared<SentCall>(SentCall{std::move(call), me});
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mEnded) return 0;
        mSent.push_back(sent);
    }
    mWake.notify_all();
    // The answer mostly comes within microseconds, so the sender looks for it a while, giving its
    // processor up between looks, before it sleeps: sleeping costs a system call on both sides and
    // a wake-up that can take longer than the answer did, which adds up for a thread that sends
    // often.
    const auto sleepFrom = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    std::unique_lock<std::mutex> lock(me->mMutex);
    while (!sent->done) {
        // The thread we wait for may itself send to us before it answers: answer it, or both
        // would wait for ever.
        if (me->HandleSent(lock)) continue;
        if (std::chrono::steady_clock::now() >= sleepFrom) {
            me->mWake.wait(lock);
            continue;
        }
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
    }
    return sent->result;
}

void MessageQueue::Notify(std::function<LRESULT()> call) {
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mEnded) return;
        first = mSent.empty();
        mSent.push_back(std::make_shared<SentCall>(SentCall{std::move(call), nullptr}));
    }
    // A thread with sent messages already waiting has been woken for them and handles them all,
    // this one too: waking it again would cost a system call for nothing.
    if (first) mWake.notify_all();
}

bool MessageQueue::HandleSent(std::unique_lock<std::mutex>& lock) {
    if (mSent.empty()) return false;
    std::shared_ptr<SentCall> next = mSent.front();
    mSent.pop_front();
    lock.unlock();
    const LRESULT result = next->call();
    if (next->sender) next->sender->Complete(*next, result);
    lock.lock();
    return true;
}

void MessageQueue::Complete(SentCall& sent, LRESULT result) {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        sent.result = result;
        sent.done = true;
    }
    mWake.notify_all();
}

bool MessageQueue::Next(MSG* msg, HWND filterWindow, UINT first, UINT last, bool remove, bool wait) {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        if (HandleSent(lock)) continue;
        if (TakeFrom(mPosted, msg, filterWindow, first, last, remove)) return true;
        if (mQuit && (!filterWindow || filterWindow == ThreadOnly()) && InRange(WM_QUIT, first, last)) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(mQuitCode), 0, MessageTime(), {0, 0}};
            if (remove) mQuit = false;
            return true;
        }
        if (TakeFrom(mInput, msg, filterWindow, first, last, remove)) return true;
        if (FindPaint(msg, filterWindow, first, last)) return true;
        if (!wait) return false;
        mWake.wait(lock);
    }
}

bool MessageQueue::TakeFrom(std::deque<MSG>& messages, MSG* msg, HWND filterWindow, UINT first, UINT last,
                            bool remove) {
    const bool isInput = &messages == &mInput;
    ModelLock model(ModelMutex());
    for (auto it = messages.begin(); it != messages.end();) {
        if (it->hwnd) {
            const Window* target = Find(it->hwnd);
            // Messages for a window that is gone are dropped, and so is input for a window
            // that may not take any.
            if (!target || (isInput && !EnabledWithAncestors(*target))) {
                it = messages.erase(it);
                continue;
            }
        }
        if (PassesFilter(it->hwnd, filterWindow) && InRange(it->message, first, last)) {
            *msg = *it;
            if (remove) {
                if (isInput) NoteKey(*msg);
                messages.erase(it);
            }
            return true;
        }
        ++it;
    }
    return false;
}

void MessageQueue::NoteKey(const MSG& msg) {
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    const bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
    if ((down || up) && msg.wParam < mKeysDown.size()) mKeysDown[msg.wParam] = down;
}

bool MessageQueue::KeyDown(UINT virtualKey) {
    std::lock_guard<std::mutex> lock(mMutex);
    return virtualKey < mKeysDown.size() && mKeysDown[virtualKey];
}

bool MessageQueue::FindPaint(MSG* msg, HWND filterWindow, UINT first, UINT last) {
    if (!InRange(WM_PAINT, first, last) || !platform::display::Current().ShowsWindows()) return false;
    ModelLock model(ModelMutex());
    for (const Window* window : AllWindows()) {
        if (window->queue.get() != this || !window->needsPaint) continue;
        if (!VisibleWithAncestors(*window) || !PassesFilter(window->handle, filterWindow)) continue;
        // Stays until the window is validated, so it is never removed here.
        *msg = MSG{window->handle, WM_PAINT, 0, 0, MessageTime(), {0, 0}};
        return true;
    }
    return false;
}

UINT MessageQueue::Waiting() {
    UINT status = 0;
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mSent.empty()) status |= QS_SENDMESSAGE;
    if (!mPosted.empty() || mQuit) status |= QS_POSTMESSAGE;
    for (const MSG& input : mInput) {
        const bool key = input.message >= WM_KEYFIRST && input.message <= WM_KEYLAST;
        status |= key ? QS_KEY : input.message == WM_MOUSEMOVE ? QS_MOUSEMOVE : QS_MOUSEBUTTON;
    }
    MSG paint;
    if (FindPaint(&paint, nullptr, 0, 0)) status |= QS_PAINT;
    return status;
}

void MessageQueue::Wake() {
    // Taking the lock orders this wake-up after a waiter's last look at the model.
    { std::lock_guard<std::mutex> lock(mMutex); }
    mWake.notify_all();
}

void MessageQueue::Shutdown() {
    {
        ModelLock model(ModelMutex());
        std::vector<HWND> owned;
        for (const Window* window : AllWindows())
            if (window->queue.get() == this) owned.push_back(window->handle);
        for (HWND window : owned) Erase(window);
        focus = nullptr;
    }
    std::deque<std::shared_ptr<SentCall>> pending;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mEnded = true;
        pending.swap(mSent);
        mPosted.clear();
        mInput.clear();
    }
    for (const auto& sent : pending)
        if (sent->sender) sent->sender->Complete(*sent, 0);
}

} // namespace platform::user

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

BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = OwnerQueue(window);
    if (!queue) return FALSE;
    if (queue->IsCurrent()) {
        CallProcedure(window, message, wParam, lParam);
        return TRUE;
    }
    if (message == WM_SETTEXT) {
        // The caller's text may be gone by the time the message is handled: it goes as a copy.
        std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        queue->Notify([=, text = std::move(text)] {
            return CallProcedure(window, message, wParam, reinterpret_cast<LPARAM>(text.c_str()));
        });
    } else {
        queue->Notify([=] { return CallProcedure(window, message, wParam, lParam); });
    }
    return TRUE;
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
    const UINT status = MessageQueue::Current()->Waiting() & flags;
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
    if (std::ranges::find(kCharacterKeys, msg->wParam) == std::end(kCharacterKeys)) return FALSE;
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
    // Empty when the window is gone.
    const auto paint = WithWindow(handle, [](Window& window) -> std::optional<bool> {
        return window.needsPaint && VisibleWithAncestors(window);
    });
    if (paint.value_or(false) && platform::display::Current().ShowsWindows()) SendMessageA(handle, WM_PAINT, 0, 0);
    return paint ? TRUE : FALSE;
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
