// What the terminal the window is drawn in can do, told by the environment the user's terminal
// set up and by the terminal database: TERM names the terminal, and its terminfo entry says
// whether the cursor can be put anywhere, how many colours it has (any colour, by its RGB or Tc
// flag), whether it has an alternate screen and mouse reports, and how its cursor is hidden.
// COLORTERM says when it takes any colour, NO_COLOR says the user wants none, and the locale
// (LC_ALL, LC_CTYPE, LANG) whether characters are UTF-8. A name the database does not know
// is judged by what this display knows of the common terminals by their names.
//
//     TerminalKind kind = KindOfTerminal([](const char* name) { return std::getenv(name); }, ReadTerminfo);
//     if (!kind.addressable) return nullptr;   // no window: the program runs headless
#pragma once

#include "platform/display/terminal/CellFrame.h"
#include "platform/display/terminal/Terminfo.h"

#include <functional>
#include <optional>
#include <string>

namespace platform::display::terminal {

struct TerminalKind {
    bool addressable = false;   // the cursor can be put anywhere: without it, no window at all
    bool utf8 = false;          // text is UTF-8, so accented and other characters show as such
    // A terminal of today, with an alternate screen: the line-drawing and block characters
    // (in UTF-8). Others (vt100, linux) get ASCII frames.
    bool rich = false;
    ColourMode colours = ColourMode::None;
    std::string enterScreen;   // to the alternate screen; empty: the screen is cleared instead
    std::string leaveScreen;   // back from it
    std::string hideCursor;    // empty when the cursor cannot be hidden
    std::string showCursor;
    bool mouse = false;        // clicks are reported (SGR mouse reports asked for)
};

using TerminalDatabase = std::function<std::optional<TerminfoEntry>(const std::string&)>;

// `environment` returns a variable's value, null when it is not set; `database` the terminal's
// entry (ReadTerminfo), none when it is not given.
TerminalKind KindOfTerminal(const std::function<const char*(const char*)>& environment,
                            const TerminalDatabase& database = {});

} // namespace platform::display::terminal
