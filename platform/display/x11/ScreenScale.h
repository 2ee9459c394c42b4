// How large the X11 display draws: the screen's dots per inch as the desktop states them (the
// Xft.dpi X resource, which desktops set for HiDPI screens), else 96; and the whole factor the
// window is drawn at, dpi / 96 rounded, at least 1. The dialog is laid out in units of its
// 10-point font, so at 192 dpi the font, the layout and the pictures all come out twice as large.
#pragma once

#include <X11/Xlib.h>

namespace platform::display::x11 {

double ScreenDpi(Display* display);

// The factor for a screen of `dpi`: 1 up to 143 dpi, 2 from 144, 3 from 240, ...
int WholeScale(double dpi);

} // namespace platform::display::x11
