#include "platform/display/HeadlessUser.h"

#include "platform/user/Input.h"
#include "platform/user/WinMessages.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

void StartHeadlessUser(HWND* window) {
    std::thread([window] {
        for (;;) {
            // How long a finished run waits for its last press: short, so a script that runs
            // the program once per file is not held up; a press that finds the batch still
            // running costs the window thread next to nothing.
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
            HWND target = std::atomic_ref<HWND>(*window).load();
            // Input comes out of the window thread's queue only after what was posted and sent,
            // so a press is seen when the window thread has nothing else to do.
            if (target) PostKeyPress(target, VK_RETURN);
        }
    }).detach();
}

} // namespace platform
