// A snapshot of what the window model shows, read in one go for one terminal frame: the main
// window's caption, its controls' texts and states, and the picture drawn into it.
//
//     WindowScene scene = ReadWindowScene(platform::display::terminal::MainWindow());
#pragma once

#include "platform/user/Model.h"
#include "ui/terminal/PageText.h"

#include <string>

namespace ui::terminal {

using platform::SurfaceView;

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

WindowScene ReadWindowScene(HWND main);

} // namespace ui::terminal
