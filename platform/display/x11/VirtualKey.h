// The virtual-key code of an X key symbol, for the keys the window model knows (Escape, Return,
// the arrows, Page Up and Down, Space, Tab); 0 for any other.
#pragma once

#include "platform/runtime/WinTypes.h"

#include <X11/X.h>

namespace platform::display::x11 {

UINT VirtualKey(KeySym key);

} // namespace platform::display::x11
