#include "platform/display/terminal/TerminalScreen.h"

#include "platform/user/Model.h"

namespace platform::display::terminal {

int Layout::Hit(int column, int row) const {
    // The message box's button is drawn last and lies on top.
    for (int i = static_cast<int>(targets.size()) - 1; i >= 0; --i) {
        const Target& t = targets[static_cast<std::size_t>(i)];
        if (row == t.row && column >= t.column && column < t.column + t.width) return i;
    }
    return -1;
}

HWND MainWindow() {
    for (HWND window : TopLevelWindows()) {
        WindowView view;
        if (InspectWindow(window, &view) && view.visible) return window;
    }
    return nullptr;
}

} // namespace platform::display::terminal
