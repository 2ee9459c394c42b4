// The window's icon for the window manager, from the program's icon resources.
#pragma once

#include "platform/runtime/WinTypes.h"

#include <vector>

namespace platform::display::x11 {

// The image of the icon group behind `icon`, its images looked up in `instance`: the one closest
// to 32 x 32 with the most colours, as the window manager's _NET_WM_ICON wants it (its width,
// its height, then its pixels as 0xAARRGGBB, rows from the top). Empty when there is none that
// can be read.
std::vector<unsigned long> LoadIconImage(HICON icon, HINSTANCE instance);

} // namespace platform::display::x11
