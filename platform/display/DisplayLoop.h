// The display thread's loop, the same for X11 and the terminal. It waits for a wake-up (the
// model has changed, a message box is asked for, a signal came), for the display's own input
// (the X connection, the terminal) or for the next frame; then it lets the display handle what
// came and draws when a frame is due: at once after a quiet spell, then at most one every
// kFrameInterval (about 30 a second) while the model keeps changing.
//
//     class X11Backend : public Backend, DisplayLoop::Client { ... };
//     mLoop.Invalidate();   // any thread: the model has changed
//     mLoop.Run(*this);     // the display thread, until Stopping()
//
// Wake is safe in a signal handler: the terminal's handlers for resizing and suspension wake
// the loop with it.
#pragma once

#include <atomic>
#include <chrono>

namespace platform::display {

using Clock = std::chrono::steady_clock;
inline constexpr auto kFrameInterval = std::chrono::milliseconds(33);

class DisplayLoop {
public:
    // What the loop asks of its display, all on the display thread.
    class Client {
    public:
        virtual bool Stopping() = 0;
        // Handles what came. `input` holds the poll events of InputDescriptor, 0 when none came
        // (a wake-up, a timeout, the first round).
        virtual void Handle(short input) = 0;
        virtual void Draw() = 0;
        // The descriptor whose input wakes the loop too; -1 for none.
        virtual int InputDescriptor() = 0;
        // The longest the loop may wait now; negative: until something comes.
        virtual Clock::duration LongestWait(Clock::time_point now) = 0;
        // False while nothing may be drawn (a terminal given back to the shell).
        virtual bool MayDraw() { return true; }
        // Whether to draw a frame now although the model has not changed.
        virtual bool WantsRefresh(Clock::duration) { return false; }
        // Called before each wait: false when there is more to handle already (the wait is skipped).
        virtual bool ReadyToWait() { return true; }

    protected:
        ~Client() = default;
    };

    // Makes the wake-up pipe. One that cannot be made leaves the loop waking for input and its
    // own timeouts alone (Ready() is false).
    DisplayLoop();
    ~DisplayLoop();
    DisplayLoop(const DisplayLoop&) = delete;
    DisplayLoop& operator=(const DisplayLoop&) = delete;

    bool Ready() const { return mPipe[1] >= 0; }
    // Any thread, or a signal handler: the loop goes round once more soon.
    void Wake();
    // Any thread: the model has changed; a frame is drawn when one is due.
    void Invalidate();
    // The display thread: the same, without a wake-up (the loop draws before it waits again).
    void MarkChanged() { mChanged.store(true); }

    // Runs on the display thread until the client is stopping.
    void Run(Client& client);
    // Waits at most `limit` for a wake-up, then empties the pipe; for a display that waits
    // outside its loop (the terminal, for its continuation after a suspension).
    void WaitForWake(Clock::duration limit);

private:
    void Drain();

    int mPipe[2] = {-1, -1};
    // A byte is in the pipe or on its way: further wake-ups write none.
    std::atomic<bool> mWakePending{false};
    std::atomic<bool> mChanged{true};   // the first frame is drawn at once
    Clock::time_point mLastFrame{};     // display thread only
};

} // namespace platform::display
