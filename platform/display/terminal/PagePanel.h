// The picture area of the window in a terminal. A page whose words are known is shown as
// words: its title and number, and its text wrapped to the area, on the page's own background
// colours where the terminal takes colours, with the picture's illustration beside it when the
// area is wide enough for both. Anything else drawn there is shown as a picture in coloured
// cells (half blocks where the terminal has them), or not at all without colours.
//
//     DrawPicturePanel(frame, left, top, columns, rows, scene, look);
#pragma once

#include "platform/display/terminal/CellFrame.h"
#include "platform/display/terminal/WindowScene.h"

namespace platform::display::terminal {

// How the window is drawn in this terminal.
struct Look {
    bool glyphs = false;   // line-drawing and block characters
    bool colour = false;   // colours, else attributes alone
};

void DrawPicturePanel(CellFrame& frame, int left, int top, int columns, int rows, const WindowScene& scene,
                      const Look& look);

} // namespace platform::display::terminal
