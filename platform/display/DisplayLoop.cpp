#include "platform/display/DisplayLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace platform::display {

DisplayLoop::DisplayLoop() {
    if (pipe2(mPipe, O_CLOEXEC | O_NONBLOCK) != 0) mPipe[0] = mPipe[1] = -1;
}

DisplayLoop::~DisplayLoop() {
    if (mPipe[0] >= 0) close(mPipe[0]);
    if (mPipe[1] >= 0) close(mPipe[1]);
}

void DisplayLoop::Wake() {
    if (!mWakePending.exchange(true)) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(mPipe[1], &byte, 1);
    }
}

void DisplayLoop::Invalidate() {
    mChanged.store(true);
    Wake();
}

void DisplayLoop::Drain() {
    // WATCHOUT: drained first, then cleared. Cleared first, a wake in between would have its
    // byte drained here while its flag stayed set, and from then on every Wake would think a
    // byte was on its way: the display would stop drawing until its own input came. What woke
    // the loop is read after this (the flags a signal handler sets before it wakes).
    char drain[64];
    while (read(mPipe[0], drain, sizeof drain) > 0) {
    }
    mWakePending.store(false);
}

void DisplayLoop::Run(Client& client) {
    short input = 0;
    while (!client.Stopping()) {
        client.Handle(std::exchange(input, 0));
        const Clock::time_point now = Clock::now();
        const bool mayDraw = client.MayDraw();
        if (mayDraw && ((mChanged.load() && now - mLastFrame >= kFrameInterval) || client.WantsRefresh(now - mLastFrame))) {
            mChanged.store(false);
            mLastFrame = now;
            client.Draw();
        }
        if (!client.ReadyToWait()) continue;

        Clock::duration wait = client.LongestWait(now);
        if (mayDraw && mChanged.load()) {
            const Clock::duration untilFrame = std::max<Clock::duration>(Clock::duration::zero(), mLastFrame + kFrameInterval - now);
            wait = wait < Clock::duration::zero() ? untilFrame : std::min(wait, untilFrame);
        }
        const int timeout = wait < Clock::duration::zero()
                                ? -1
                                : static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
        pollfd fds[2] = {{mPipe[0], POLLIN, 0}, {client.InputDescriptor(), POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) std::this_thread::sleep_for(kFrameInterval);
        input = fds[1].revents;
        Drain();
    }
}

void DisplayLoop::WaitForWake(Clock::duration limit) {
    pollfd wake{mPipe[0], POLLIN, 0};
    poll(&wake, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(limit).count()));
    Drain();
}

} // namespace platform::display
