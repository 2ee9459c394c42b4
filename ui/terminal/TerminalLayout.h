// How the window looks in a terminal: the snapshot of a WindowScene drawn into a CellFrame with
// the caption bar, the picture area, the credit line, the file name and total, the progress bar
// and the buttons, and a message box over it when one is up.
//
// The window takes the terminal's width (up to a limit) and lays its controls out for it: on a
// wide terminal the status line shares its row with Previous and Next as in the window's own
// layout; on a narrow one the file name gets a row of its own and the buttons one below the bar.
// A file name too long for its field shows its end, behind an ellipsis. A terminal too small
// for every control gets one line saying so, and the file name under it.
//
//     WindowScene scene = ReadWindowScene(MainWindow());
//     Layout layout = DrawScreen(frame, scene, box, look);
//     int hit = layout.Hit(column, row);
#pragma once

#include "platform/display/terminal/CellFrame.h"
#include "platform/display/terminal/TerminalScreen.h"
#include "ui/terminal/WindowScene.h"

#include <optional>

namespace ui::terminal {

using platform::display::terminal::BoxContent;
using platform::display::terminal::CellFrame;
using platform::display::terminal::Layout;
using platform::display::terminal::Look;

// The smallest terminal that shows every control of the window.
constexpr int kSmallestColumns = 36;
constexpr int kSmallestRows = 7;

Layout DrawScreen(CellFrame& frame, const WindowScene& scene, const std::optional<BoxContent>& box,
                  const Look& look);

} // namespace ui::terminal
