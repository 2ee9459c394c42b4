// What the terminal database (terminfo, read through libtinfo) says a terminal can do, for the
// capabilities the terminal display uses. Empty when the database has no entry for the name (or
// the program was built without libtinfo); the display then falls back on what it knows of the
// common terminals by their names.
//
//     if (std::optional<TerminfoEntry> entry = ReadTerminfo("xterm-256color")) ...
#pragma once

#include <optional>
#include <string>

namespace platform::display::terminal {

struct TerminfoEntry {
    bool cursorAddress = false;   // cup: the cursor can be put anywhere
    int colours = 0;              // colors: how many (0 for none)
    bool directColour = false;    // the RGB or Tc flag: any colour as red, green and blue
    std::string enterScreen;      // smcup: to the alternate screen; empty when it has none
    std::string leaveScreen;      // rmcup
    std::string hideCursor;       // civis; empty when the cursor cannot be hidden
    std::string showCursor;       // cnorm
    bool mouse = false;           // kmous: it reports mouse events
};

std::optional<TerminfoEntry> ReadTerminfo(const std::string& term);

} // namespace platform::display::terminal
