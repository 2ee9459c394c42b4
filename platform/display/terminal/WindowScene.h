// A snapshot of what the window model shows, read in one go for one terminal frame: the main
// window's caption, its controls' texts and states, and the picture drawn into it.
//
//     WindowScene scene = ReadWindowScene(MainWindow());
#pragma once

#include "platform/user/Model.h"
#include "platform/display/terminal/PageText.h"

#include <string>

namespace platform::display::terminal {

struct ButtonScene {
    HWND window = nullptr;
    std::string text;
    bool focused = false;
    bool pushed = false;
};

struct WindowScene {
    bool present = false;        // false: there is no window to show
    bool enabled = true;         // false while a message box is up over it
    std::string caption;
    SurfaceView picture;         // empty when nothing has been drawn yet
    const PageText* page = nullptr;   // the words of the picture shown, when it is known
    std::string credit, fileName, total;
    int rangeLow = 0, rangeHigh = 100, position = 0;
    ButtonScene previous, next, finish;
};

// The first visible top-level window; null when there is none.
HWND MainWindow();
WindowScene ReadWindowScene(HWND main);

} // namespace platform::display::terminal
