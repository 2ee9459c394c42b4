#include "platform/HeadlessUser.h"

#include "platform/Input.h"
#include "platform/WinMessages.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

void StartHeadlessUser(HWND* window) {
    std::thread([window] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            HWND target = std::atomic_ref<HWND>(*window).load();
            // Input comes out of the window thread's queue only after what was posted and sent,
            // so a press is seen when the window thread has nothing else to do.
            if (target) PostKeyPress(target, VK_RETURN);
        }
    }).detach();
}

} // namespace platform
