#include "platform/user/HeadlessUser.h"

#include "platform/user/Input.h"
#include "platform/user/WinMessages.h"

#include <atomic>

namespace platform {

namespace {

// The window the stand-in presses Return on, once it runs.
std::atomic<HWND*> gPressed{nullptr};

} // namespace

void StartHeadlessUser(HWND* window) {
    gPressed.store(window, std::memory_order_release);
}

void WakeHeadlessUser() {
    HWND* window = gPressed.load(std::memory_order_acquire);
    if (!window) return;
    // Input comes out of the window thread's queue only after what was posted and sent before
    // it, so the press is taken once the change that woke it has been handled.
    if (HWND target = std::atomic_ref<HWND>(*window).load()) PostKeyPress(target, VK_RETURN);
}

} // namespace platform
