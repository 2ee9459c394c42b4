// A message box on the X display: a small fixed-size window over its owner (transient for it,
// when it has one) with a stop sign, the text wrapped to fit, and an OK button. Return, Escape,
// Space, a click on OK or the window manager's close answer it.
//
//     x11::MessageBoxWindow box(paint, hints, text, caption, ownerWindow, centre);
//     ... for each event of box.Handle(): if (box.Answers(event)) break;
#pragma once

#include "platform/runtime/WinTypes.h"
#include "platform/display/x11/Painter.h"
#include "platform/display/x11/TopWindow.h"

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace platform::display::x11 {

// Greedy word wrap at spaces to lines no wider than `width`; a word wider than a line is broken
// where it must. Always at least one line.
std::vector<std::string> WrapText(const Painter& paint, const std::string& text, int width);

class MessageBoxWindow {
public:
    // Makes and maps the box centred on `centre` (screen coordinates); `owner` may be 0.
    MessageBoxWindow(Painter& paint, TopWindowHints& hints, const std::string& text, const std::string& caption,
                     Window owner, POINT centre);
    ~MessageBoxWindow();
    MessageBoxWindow(const MessageBoxWindow&) = delete;
    MessageBoxWindow& operator=(const MessageBoxWindow&) = delete;

    Window Handle() const { return mWindow; }
    // Takes one event of the box's window; true when it answers the box.
    bool Answers(const XEvent& event);

private:
    void Draw();

    Painter& mPaint;
    TopWindowHints& mHints;
    Window mWindow = 0;
    int mWidth = 0;
    int mHeight = 0;
    std::vector<std::string> mLines;
    RECT mOk{};
    bool mPressed = false;   // the mouse went down on OK: shown pressed until it comes up
};

} // namespace platform::display::x11
