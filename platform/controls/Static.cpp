// The static control: a text, a frame or a filled rectangle, by its SS_* kind. It takes no input;
// what it shows changes with its text and its enabled state.
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/controls/SystemClasses.h"

namespace platform::controls {

LRESULT StaticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    case WM_ENABLE:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace platform::controls
