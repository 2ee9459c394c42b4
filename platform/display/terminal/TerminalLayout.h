// How the window looks in a terminal: a snapshot of what the window model shows, drawn into a
// CellFrame with the caption bar, the picture in half-block characters, the status line, the
// progress bar and the buttons, and a message box over it when one is up.
//
//     WindowScene scene = ReadWindowScene(MainWindow());
//     Layout layout = DrawScreen(frame, scene, box, utf8);
//     int hit = layout.Hit(column, row);
#pragma once

#include "platform/Model.h"
#include "platform/display/terminal/CellFrame.h"

#include <optional>
#include <string>
#include <vector>

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
    int pictureWidth = 400;      // the picture control's size in pixels
    int pictureHeight = 120;
    std::string credit, fileName, total;
    int rangeLow = 0, rangeHigh = 100, position = 0;
    ButtonScene previous, next, finish;
};

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
    // The index of the target under the cell; -1 for none.
    int Hit(int column, int row) const;
};

// The first visible top-level window; null when there is none.
HWND MainWindow();
WindowScene ReadWindowScene(HWND main);
Layout DrawScreen(CellFrame& frame, const WindowScene& scene, const std::optional<BoxContent>& box,
                  bool utf8);

} // namespace platform::display::terminal
