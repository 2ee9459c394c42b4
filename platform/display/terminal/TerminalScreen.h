// What the terminal display draws is the program's own: the display hands the program's screen a
// frame of cells as large as the terminal, with the message box that is up, and the screen draws
// its windows into it and says where it put their buttons, for the mouse. The display knows no
// control of the program; the program knows no terminal.
//
//     class MyScreen : public platform::display::terminal::TerminalScreen { ... };
//     OpenTerminalDisplay(std::make_unique<MyScreen>());
#pragma once

#include "platform/display/terminal/CellFrame.h"
#include "platform/runtime/WinTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace platform::display::terminal {

// How the window is drawn in this terminal.
struct Look {
    bool glyphs = false;   // line-drawing and block characters
    bool colour = false;   // colours, else attributes alone
};

// The message box that is up: the first one asked and not yet answered.
struct BoxContent {
    std::string text;
    std::string caption;
};

// Where the buttons of the last frame are, for mouse clicks.
struct Layout {
    struct Target {
        int column = 0, row = 0, width = 0;
        HWND window = nullptr;   // a button of the window
        bool isBoxButton = false;   // the message box's OK
    };
    std::vector<Target> targets;
    // The index of the target under the cell; -1 for none. The last drawn lies on top.
    int Hit(int column, int row) const;
};

class TerminalScreen {
public:
    virtual ~TerminalScreen() = default;
    // Draws the screen into `frame` (the whole terminal), with `box` over it when one is up.
    // Called on the display thread; it reads the window model (platform/user/Model.h) only.
    virtual Layout Draw(CellFrame& frame, const std::optional<BoxContent>& box, const Look& look) = 0;
};

// The first visible top-level window, which keys and Ctrl-C go to; null when there is none.
HWND MainWindow();

} // namespace platform::display::terminal
