// The X11 display's backend, one class whose code is split by job: its life and the display
// thread's loop (X11Backend.cpp), the model's top-level windows as X windows (TopWindows.cpp),
// the server's events (Events.cpp) and the message boxes (MessageBoxes.cpp). How controls look
// is in Painter, what every X window of the display is told in XWindow.
//
// When the server goes away the program ends as if its window had been closed (see
// LoseConnection): Xlib would otherwise end it on the spot, skipping the report and the removal
// of the unfinished output.
#pragma once

#include "platform/user/DisplayDriver.h"
#include "platform/display/DisplayLoop.h"
#include "platform/display/x11/Painter.h"
#include "platform/display/x11/TextFont.h"
#include "platform/runtime/WinTypes.h"
#include "platform/user/Model.h"

#include <X11/Xlib.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace platform::display::x11 {

// A message box; shared by the caller's thread and the display thread. On the screen it is a
// small fixed-size window over its owner (transient for it, when it has one) with a stop sign,
// the text wrapped to fit, and an OK button; Return, Escape, Space, a click on OK or the window
// manager's close answer it. Once answered it stays on the screen until its caller has enabled
// the owner again: were it gone at once, keys typed in that moment would reach a disabled window
// and be lost without anything on the screen to show why.
struct Box {
    std::string text;
    std::string caption;
    HWND owner = nullptr;
    bool answered = false;      // under the backend's mutex
    // The display thread's alone.
    Window window = 0;          // 0 until shown
    int width = 0;
    int height = 0;
    std::vector<std::string> lines{};
    RECT ok{};
    bool pressed = false;       // the mouse went down on OK: shown pressed until it comes up
    Clock::time_point limit{};  // answered: the longest it waits for its owner
};

// An X window standing for one top-level window of the model.
struct Top {
    Window window = 0;
    Pixmap back = 0;            // drawn here, then copied to the window in one go
    int width = 0;
    int height = 0;
    std::string title;
    bool mapped = false;
};

class X11Backend : public Backend, DisplayLoop::Client {
public:
    X11Backend(Display* display, std::unique_ptr<x11::TextFont> font, int unit);
    ~X11Backend() override;

    // Called by Xlib on the display thread (the only one that uses the connection) when the
    // server has gone. Xlib ends the process if this returns, so it never does: the program is
    // told to close its windows, exactly as if the user had closed them, and this thread waits
    // here until the process ends. Every box still waiting is let go, so its caller can go on to
    // the close.
    [[noreturn]] void LoseConnection();
    static X11Backend* Live() { return sLive.load(); }
    void WindowChanged(HWND) override;
    bool ShowedDesktopWindow() const override { return mShowed; }
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT) override;

private:
    // Counts every box still waiting as answered, so its caller goes on; `lost` also marks the
    // server as gone.
    void LetCallersGo(bool lost);

    // --- the display thread's loop (DisplayLoop) -------------------------------------------------

    bool Stopping() override { return mStop; }

    // The server's events may have come in while the last ones were handled: they are taken
    // from Xlib's queue whatever the poll said.
    void Handle(short) override;
    void Draw() override { DrawAll(); }
    int InputDescriptor() override { return ConnectionNumber(mDisplay); }

    // A box that is closing looks at its owner every few milliseconds.
    Clock::duration LongestWait(Clock::time_point) override;

    // What was drawn goes to the server; events Xlib read meanwhile are handled before a wait.
    bool ReadyToWait() override;

    // --- top-level windows ----------------------------------------------------------------------

    void DrawAll();

    // The X window of a top-level window is gone or going: its back pixmap and a press in it go too.
    void Forget(HWND handle);
    Top& Ensure(HWND handle, const WindowView& view);
    void DrawTop(HWND handle, Top& top, const WindowView& view);
    HWND TopOf(Window window);

    // The visible control under (x, y) of the window's client area, the last made on top.
    static HWND ControlAt(HWND top, int x, int y);

    // --- events ---------------------------------------------------------------------------------

    void Handle(XEvent& event);

    // The left button goes down on the control under it (or the window itself); the release
    // goes to the same one, in its own coordinates, wherever the mouse is by then. Each
    // coordinate is a signed 16-bit word, so a release outside the control stays outside.
    void Press(HWND handle, int x, int y);

    // --- message boxes --------------------------------------------------------------------------

    std::shared_ptr<Box> BoxOf(Window window);
    bool AnyBoxShown();
    void ServeBoxes();

    // Where the X window is on the screen, and its size; the screen itself when it is not there.
    RECT ScreenRect(Window window);

    // Makes and maps the box over the middle of its owner (where the window manager put it),
    // or of the screen.
    void OpenBox(Box& box);
    void DrawBox(const Box& box);

    // Takes one event of the box's window; true when it answers the box.
    bool Answers(Box& box, const XEvent& event);

    // OK: the caller goes on; the box goes once the caller has enabled its owner again.
    void Answer(const std::shared_ptr<Box>& box);

    // Takes down the answered boxes whose owner takes input again (or is gone, or has waited
    // too long: a box over a box leaves its owner disabled), and gives the owner the keyboard.
    void FinishClosingBoxes();

    Display* mDisplay;
    const int mUnit;                        // screen pixels for each pixel of the model
    std::unique_ptr<x11::Painter> mPaint;   // left unfreed when the connection is lost

    // Display thread only.
    std::map<HWND, Top> mTops;
    std::set<HWND> mDestroyedOutside;   // windows whose X window someone else destroyed
    HWND mPressed = nullptr;      // where the left button went down
    HWND mPressedTop = nullptr;
    POINT mPressedOrigin{};       // that control's top-left in its window

    std::mutex mMutex;            // guards mBoxes, each box's answered flag, mLost and mRunEnded
    std::condition_variable mAnswered;
    std::condition_variable mParked;    // never notified: the lost display thread waits on it
    bool mLost = false;           // the server has gone; the display thread is parked
    bool mRunEnded = false;       // the display thread has left Run
    std::vector<std::shared_ptr<Box>> mBoxes;
    std::vector<std::shared_ptr<Box>> mClosing;   // answered, still shown; display thread only

    std::atomic<bool> mShowed{false};   // a top-level window has been mapped
    std::atomic<bool> mStop{false};
    DisplayLoop mLoop;
    std::thread mThread;

    // The backend Xlib's connection handler reaches: there is one X connection at a time.
    static inline std::atomic<X11Backend*> sLive{nullptr};
};

} // namespace platform::display::x11
