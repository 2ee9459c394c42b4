// One thread's message queue: messages sent to it from other threads, posted messages, input,
// the quit request, and the thread's keyboard focus.
//
// A queue is made for a thread the first time it needs one (it creates a window, sends to
// another thread, asks for messages) and ends with the thread: the thread's windows go away
// without further messages, and senders still waiting for it get 0. The process's first thread
// is the exception: it ends only with the process, so its windows stay and anyone sending to them
// then waits until the process is gone.
#pragma once

#include "platform/runtime/WinTypes.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace platform::user {

class MessageQueue;

// A message sent from another thread: `call` runs on the receiving thread, and the sender waits
// in its own queue until `done`.
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

    // For the owning thread: handles every message sent to it, then takes the next message for
    // the filter in the order posted, quit, input, paint. With `wait` it waits for one;
    // otherwise it returns false when there is none. Without `remove` the message stays queued.
    bool Next(MSG* msg, HWND filterWindow, UINT first, UINT last, bool remove, bool wait);
    // QS_* flags of what is waiting.
    UINT Status();
    // Whether the key is down, as the key messages taken out of the queue so far tell.
    bool KeyDown(UINT virtualKey);
    // Something outside the queue changed (a window of the thread needs painting): look again.
    void Wake();
    // The thread has ended; see above.
    void Shutdown();

    // The thread's keyboard focus window. Guarded by the model lock, not by the queue's own.
    HWND focus = nullptr;

private:
    LRESULT WaitFor(SentCall& sent);
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

} // namespace platform::user
