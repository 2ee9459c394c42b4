#include "platform/user/StopSignals.h"

#include "platform/runtime/SessionEnd.h"
#include "platform/user/UserQueue.h"
#include "platform/user/WinMessages.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

void ForwardStopSignals(HWND* window) {
    OnStopSignals([window] {
        // WATCHOUT: the window handle is written once by the window thread before the worker
        // starts; a signal that comes earlier waits for it.
        std::atomic_ref<HWND> target(*window);
        while (!target.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        PostMessageA(target.load(), WM_CLOSE, 0, 0);
    });
}

} // namespace platform
