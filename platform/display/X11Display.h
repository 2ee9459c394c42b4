// The display on an X11 server: each visible top-level window of the model becomes a fixed-size
// X window, drawn in the classic look from the model and the program's surfaces; keys, clicks and
// the window manager's close come back as input messages. Message boxes are small modal windows
// of their own over their owner.
//
// The backend runs one thread that owns the X connection; everything else only notes changes
// and wakes it, so drawing (at most about 30 frames a second) never holds up the program.
//
//     if (auto x11 = platform::display::OpenX11Display()) platform::display::Install(std::move(x11));
#pragma once

#include "platform/user/DisplayDriver.h"

#include <memory>

namespace platform::display {

// Null when no X display can be opened (no DISPLAY, or the server refuses).
std::unique_ptr<Backend> OpenX11Display();

} // namespace platform::display
