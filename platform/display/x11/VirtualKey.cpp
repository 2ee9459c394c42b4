#include "platform/display/x11/VirtualKey.h"

#include "platform/user/WinMessages.h"

#include <X11/keysym.h>

namespace platform::display::x11 {

UINT VirtualKey(KeySym key) {
    switch (key) {
    case XK_Escape: return VK_ESCAPE;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Left:
    case XK_KP_Left: return VK_LEFT;
    case XK_Right:
    case XK_KP_Right: return VK_RIGHT;
    case XK_Up: return VK_UP;
    case XK_Down: return VK_DOWN;
    case XK_Prior:
    case XK_KP_Prior: return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next: return VK_NEXT;
    case XK_space: return VK_SPACE;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    default: return 0;
    }
}

} // namespace platform::display::x11
