// The backend's life (the display thread, the lost connection, the caller's side of a message
// box) and what the display thread's loop asks of it.
#include "platform/display/x11/X11Backend.h"

#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WinMessages.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace platform::display::x11 {
namespace {

// How often a box that is closing looks whether its owner is enabled yet.
constexpr int kClosingPollMs = 2;

} // namespace

X11Backend::X11Backend(Display* display, std::unique_ptr<x11::TextFont> font, int unit)
    : mDisplay(display), mUnit(unit), mPaint(std::make_unique<x11::Painter>(display, std::move(font), unit)) {
    sLive.store(this);
    mThread = std::thread([this] {
        mLoop.Run(*this);
        std::lock_guard<std::mutex> lock(mMutex);
        mRunEnded = true;
        mAnswered.notify_all();
    });
}

X11Backend::~X11Backend() {
    mStop = true;
    mLoop.Wake();
    // A thread parked in LoseConnection never returns: waiting to join it would hang.
    std::unique_lock<std::mutex> lock(mMutex);
    mAnswered.wait(lock, [&] { return mRunEnded || mLost; });
    const bool lost = mLost;
    lock.unlock();
    if (lost) {
        mThread.detach();
    } else {
        mThread.join();
    }
    sLive.store(nullptr);
    LetCallersGo(false);
    if (lost) {
        // Nothing may touch a dead connection: Xlib would call the handler again.
        (void)mPaint.release();
    } else {
        for (auto& [handle, top] : mTops) XFreePixmap(mDisplay, top.back);
        for (auto* boxes : {&mBoxes, &mClosing})
            for (auto& box : *boxes)
                if (box->window) XDestroyWindow(mDisplay, box->window);
        // The connection is closed last, after everything made on it.
        mPaint.reset();
        XCloseDisplay(mDisplay);
    }
}

void X11Backend::LoseConnection() {
    std::fputs("dudez: the connection to the X display was lost; stopping\n", stderr);
    LetCallersGo(true);
    for (HWND handle : TopLevelWindows()) PostMessageA(handle, WM_CLOSE, 0, 0);
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) mParked.wait(lock);
}

void X11Backend::WindowChanged(HWND) {
    mLoop.Invalidate();
}

int X11Backend::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT) {
    auto box = std::make_shared<Box>(Box{.text = text, .caption = caption, .owner = owner});
    std::unique_lock<std::mutex> lock(mMutex);
    mBoxes.push_back(box);
    lock.unlock();
    mLoop.Wake();
    lock.lock();
    mAnswered.wait(lock, [&] { return box->answered || mStop || mLost; });
    return IDOK;
}

void X11Backend::LetCallersGo(bool lost) {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (lost) mLost = true;
        for (auto& box : mBoxes) box->answered = true;
    }
    mAnswered.notify_all();
}

void X11Backend::Handle(short) {
    while (XPending(mDisplay)) {
        XEvent event;
        XNextEvent(mDisplay, &event);
        Handle(event);
    }
    ServeBoxes();
    FinishClosingBoxes();
}

Clock::duration X11Backend::LongestWait(Clock::time_point) {
    return mClosing.empty() ? Clock::duration(-1) : std::chrono::milliseconds(kClosingPollMs);
}

bool X11Backend::ReadyToWait() {
    XFlush(mDisplay);
    return !XPending(mDisplay);
}

} // namespace platform::display::x11
