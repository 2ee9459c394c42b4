// The display driver: what the window layer calls to present the window model to the user. The
// displays (platform/display/: X11, the terminal) implement it; the window layer knows none of
// them, only this. One is in use at a time, chosen at start; until then, and whenever no display
// can be had, it is the headless one (HeadlessDisplay.h), which presents nothing.
//
// A display never calls the program's code. It reads the model through platform/user/Model.h and
// delivers input through platform/user/Input.h; the window layer tells it here when something
// changed.
//
//     platform::display::Install(std::make_unique<MyDisplay>());
#pragma once

#include "platform/runtime/WinTypes.h"

#include <memory>

namespace platform::display {

class Backend {
public:
    virtual ~Backend() = default;

    // Something the window shows has changed: it needs painting, was shown, hidden or
    // destroyed, or its caption changed. Called on any thread, possibly very often: it must
    // return at once (note the change and draw later) and must not wait for a window's thread.
    virtual void WindowChanged(HWND window) = 0;
    // A window's text has changed (its caption, a control's text); called as WindowChanged is.
    // A display redraws it as any other change.
    virtual void TextChanged(HWND window) { WindowChanged(window); }

    // Puts a message box before the user and returns the id of the button that answered it.
    // Called on the thread that called MessageBoxA, while its owner (null for none) is
    // disabled; the caption is never null.
    virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) = 0;
    // Whether it shows the windows at all. One that does not spares them their painting, which
    // nobody could see: they are never sent WM_PAINT.
    virtual bool ShowsWindows() const { return true; }
    // Whether a window of the program has been shown on a desktop (an X11 display), so that the
    // end of the run should be told to the desktop: its user may have no terminal to read.
    virtual bool ShowedDesktopWindow() const { return false; }
};

// The display in use.
Backend& Current();

// Puts `backend` in use (null: the headless one) and hands back the one used before (null when
// that was the built-in headless one). WATCHOUT: the old display may still be in a call on
// another thread; install at start, or, in tests, while no other thread uses the window system.
std::unique_ptr<Backend> Install(std::unique_ptr<Backend> backend);

} // namespace platform::display
