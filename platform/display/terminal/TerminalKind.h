// What the terminal the window is drawn in can do, told by the environment the user's terminal
// set up: TERM names the terminal, COLORTERM says when it takes any colour, NO_COLOR says the
// user wants none, and the locale (LC_ALL, LC_CTYPE, LANG) whether characters are UTF-8.
//
//     TerminalKind kind = KindOfTerminal([](const char* name) { return std::getenv(name); });
//     if (!kind.addressable) return nullptr;   // no window: the program runs headless
#pragma once

#include "platform/display/terminal/CellFrame.h"

#include <functional>

namespace platform::display::terminal {

struct TerminalKind {
    bool addressable = false;   // the cursor can be put anywhere: without it, no window at all
    bool utf8 = false;          // text is UTF-8, so accented and other characters show as such
    // An xterm-like terminal: the alternate screen, a hidden cursor, mouse reports and the
    // line-drawing and block characters. Others (vt100, linux, anything unknown) get plain
    // cursor moves, attributes and ASCII frames only.
    bool rich = false;
    ColourMode colours = ColourMode::None;
};

// `environment` returns a variable's value, null when it is not set.
TerminalKind KindOfTerminal(const std::function<const char*(const char*)>& environment);

} // namespace platform::display::terminal
