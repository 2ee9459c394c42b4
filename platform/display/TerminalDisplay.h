// The display that draws the window in the controlling terminal, for a program started from a
// terminal without a graphical display.
//
//     if (auto terminal = OpenTerminalDisplay(std::move(screen))) platform::display::Install(std::move(terminal));
//
// While it is in use the terminal is in raw mode and shows the program's screen, which the
// program gives it (terminal/TerminalScreen.h), with the message boxes over it. Keys and mouse clicks become input for the window; Ctrl-C closes it. What the
// terminal can do is told by TERM, COLORTERM, NO_COLOR and the locale (terminal/TerminalKind):
// an xterm-like terminal gets its alternate screen, colours and the mouse, others a plain
// screen without colours; a dumb terminal gets no window at all. What the program writes to standard
// output or standard error that would land on this terminal is held back and written out after
// the window is gone. The terminal is restored when the process exits (also when it dies of a
// fault signal).
#pragma once

#include "platform/display/terminal/TerminalScreen.h"
#include "platform/user/DisplayDriver.h"

#include <memory>

// Null when the process has no controlling terminal, the terminal cannot address its cursor
// (TERM unset or dumb), or it cannot be set up.
std::unique_ptr<platform::display::Backend>
OpenTerminalDisplay(std::unique_ptr<platform::display::terminal::TerminalScreen> screen);
