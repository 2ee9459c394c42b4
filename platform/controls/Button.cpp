// The push button. Pressing the left mouse button on it, or Space while it has the focus, shows
// it pressed; releasing the mouse button over it, or Space, clicks it: its parent gets
// WM_COMMAND with the button's id and BN_CLICKED. Losing the focus while pressed cancels.
#include "platform/controls/Controls.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/controls/ControlState.h"
#include "platform/controls/SystemClasses.h"

#include <cstdint>

namespace platform::controls {
namespace {

struct ButtonState : user::ControlData {
    bool pushed = false; // shown pressed
    void Describe(WindowView& view) const override { view.pushed = pushed; }
};

// Sets the pressed state; returns the state before.
bool SetPushed(HWND button, bool pushed) {
    const bool before = WithControlState<ButtonState>(button, [pushed](ButtonState& state) {
        const bool was = state.pushed;
        state.pushed = pushed;
        return was;
    });
    if (before != pushed) InvalidateRect(button, nullptr, TRUE);
    return before;
}

bool InClientArea(HWND button, LPARAM position) {
    RECT client;
    if (!GetClientRect(button, &client)) return false;
    const int x = static_cast<std::int16_t>(LOWORD(position));
    const int y = static_cast<std::int16_t>(HIWORD(position));
    return x >= client.left && x < client.right && y >= client.top && y < client.bottom;
}

void Click(HWND button) {
    HWND parent = GetParent(button);
    if (!parent) return;
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

} // namespace

LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        SetFocus(window);
        SetPushed(window, true);
        return 0;
    case WM_LBUTTONUP:
        if (SetPushed(window, false) && InClientArea(window, lParam)) Click(window);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) SetPushed(window, true);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && SetPushed(window, false)) Click(window);
        return 0;
    case WM_KILLFOCUS:
        SetPushed(window, false);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    default:
        return ControlDefault(window, message, wParam, lParam);
    }
}

} // namespace platform::controls
