#include "platform/runtime/SessionEnd.h"

#include "platform/user/UserQueue.h"
#include "platform/user/WinMessages.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <pthread.h>
#include <thread>

namespace platform {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void BlockStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void KeepWriteFailuresAsErrors() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void ForwardStopSignals(HWND* window) {
    std::thread([window] {
        const sigset_t set = StopSignals();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            // WATCHOUT: the window handle is written once by the window thread before the
            // worker starts; a signal that comes earlier waits for it.
            std::atomic_ref<HWND> target(*window);
            while (!target.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            PostMessageA(target.load(), WM_CLOSE, 0, 0);
        }
    }).detach();
}

} // namespace platform
