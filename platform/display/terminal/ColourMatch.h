// The colours a terminal without true colour shows for an 0xRRGGBB colour: the nearest of the
// 256-colour palette (its 6 x 6 x 6 cube and its grey ramp; the sixteen standard colours are
// left out, as every terminal's theme changes them), or of the sixteen standard colours as xterm
// shows them. And the colour each palette index stands for, to measure how near they come.
//
//     out += "\x1b[48;5;" + std::to_string(NearestPaletteColour(0x1E4A6B)) + "m";
#pragma once

#include <cstdint>

namespace platform::display::terminal {

int NearestPaletteColour(std::uint32_t rgb);

// 0 to 15: the standard colours in SGR order (30-37, then the bright 90-97).
int NearestBasicColour(std::uint32_t rgb);

// The 0xRRGGBB of palette index 0 to 255 (0 to 15 as xterm shows them).
std::uint32_t PaletteRgb(int index);

} // namespace platform::display::terminal
