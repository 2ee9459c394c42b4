// How many cells of a terminal a character takes: 0 for a mark that sits on the character
// before it, 2 for the wide characters of East Asian scripts and emoji, 1 for the rest. The
// program does not set the process's locale (that would change its error texts), so the C
// library's wcwidth cannot be asked; this covers the ranges file names hold in practice.
#pragma once

namespace platform::display::terminal {

int CellWidth(char32_t c);

} // namespace platform::display::terminal
