#include "platform/user/HeadlessUser.h"

#include "platform/user/Input.h"
#include "platform/user/WinMessages.h"
#include "platform/runtime/NeverDestroyed.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

namespace {

struct Waker {
    std::mutex mutex;
    std::condition_variable changed;   // a window's text changed
    bool pending = false;              // a change not yet answered by a press
    std::atomic<bool> started{false};  // a stand-in runs
};

Waker& TheWaker() {
    static NeverDestroyed<Waker> waker;
    return waker.get();
}

} // namespace

void StartHeadlessUser(HWND* window) {
    Waker& waker = TheWaker();
    waker.started = true;
    std::thread([window, &waker] {
        std::unique_lock lock(waker.mutex);
        for (;;) {
            // The button turning to "Done" is a text change, so a finished batch is answered at
            // once; the regular press is there for anything that changes no text. The deadline
            // is on the system clock, the wait that every thread checker understands.
            waker.changed.wait_until(lock, std::chrono::system_clock::now() + std::chrono::milliseconds(25),
                                     [&] { return waker.pending; });
            waker.pending = false;
            lock.unlock();
            HWND target = std::atomic_ref<HWND>(*window).load();
            // Input comes out of the window thread's queue only after what was posted and sent,
            // so a press is seen when the window thread has nothing else to do.
            if (target) PostKeyPress(target, VK_RETURN);
            lock.lock();
        }
    }).detach();
}

void WakeHeadlessUser() {
    Waker& waker = TheWaker();
    if (!waker.started) return;
    std::lock_guard lock(waker.mutex);
    waker.pending = true;
    waker.changed.notify_one();
}

} // namespace platform
