// The system's control classes: the static control, the push button and the progress bar, and
// their registration.
#include "platform/controls/Controls.h"
#include "platform/user/UserDialog.h"
#include "platform/user/UserQueue.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

namespace platform::controls {
namespace {

// Calls `use` with the window's state of type State (made on first use) under the model lock and
// returns its result; a default result when the window is gone. `use` must not call out.
template <typename State, typename Use>
auto WithControlState(HWND window, Use use) -> decltype(use(std::declval<State&>())) {
    return user::WithWindow(window, [&use](user::Window& record) -> decltype(use(std::declval<State&>())) {
        if (!record.control) record.control = std::make_unique<State>();
        auto* state = dynamic_cast<State*>(record.control.get());
        if (!state) return {};
        return use(*state);
    });
}

// What every control does: a change of its text or of its enabled state repaints it, as the
// display shows both; the rest is the default processing. It is the whole of the static control
// (a text, a frame or a filled rectangle by its SS_* kind), which takes no input.
LRESULT ControlDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_SETTEXT || message == WM_ENABLE) InvalidateRect(window, nullptr, TRUE);
    return result;
}

// The push button. Pressing the left mouse button on it, or Space while it has the focus, shows
// it pressed; releasing the mouse button over it, or Space, clicks it: its parent gets
// WM_COMMAND with the button's id and BN_CLICKED. Losing the focus while pressed cancels.

struct ButtonState : user::ControlData {
    bool pushed = false; // shown pressed
    void Describe(WindowView& view) const override { view.pushed = pushed; }
};

// Sets the pressed state; returns the state before.
bool SetPushed(HWND button, bool pushed) {
    const bool before = WithControlState<ButtonState>(button, [pushed](ButtonState& state) {
        return std::exchange(state.pushed, pushed);
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

// A button without a parent tells no one: a send to no window does nothing.
void Click(HWND button) {
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

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

// The progress bar: a range, a position that always lies within it, and a step.

struct ProgressState : user::ControlData {
    int low = 0;       // range minimum
    int high = 100;    // range maximum
    int position = 0;  // low <= position <= high (position == low when high < low)
    int step = 10;     // how far a step moves; kept for whoever steps the bar

    int Clamp(int value) const { return std::max(low, std::min(value, high)); }
    void Describe(WindowView& view) const override {
        view.rangeLow = low;
        view.rangeHigh = high;
        view.position = position;
    }
};

// Messages carry the position in the low 32 bits of wParam, as a signed number.
int AsInt(WPARAM value) {
    return static_cast<int>(static_cast<DWORD>(value));
}

LRESULT ProgressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETSTEP) {
        return WithControlState<ProgressState>(window, [wParam](ProgressState& s) {
            return static_cast<LRESULT>(std::exchange(s.step, AsInt(wParam)));
        });
    }
    if (message != PBM_SETRANGE && message != PBM_SETPOS) return ControlDefault(window, message, wParam, lParam);
    // What the message returns (the range or the position before), and whether the bar looks
    // different now.
    const auto [previous, changed] = WithControlState<ProgressState>(window, [&](ProgressState& s) {
        const int low = s.low, high = s.high, position = s.position;
        if (message == PBM_SETRANGE) {
            s.low = LOWORD(lParam);
            s.high = HIWORD(lParam);
        }
        s.position = s.Clamp(message == PBM_SETPOS ? AsInt(wParam) : position);
        const LRESULT before = message == PBM_SETPOS ? position : MAKELPARAM(low, high);
        return std::pair<LRESULT, bool>{before, low != s.low || high != s.high || position != s.position};
    });
    if (changed) InvalidateRect(window, nullptr, TRUE);
    return previous;
}

void Register(const char* name, WNDPROC procedure, ATOM atom = 0) {
    WNDCLASSA record{};
    record.lpfnWndProc = procedure;
    record.lpszClassName = name;
    user::AddClass(record, true, atom);
}

} // namespace

void RegisterSystemClasses() {
    Register("Static", ControlDefault);
    Register("Button", ButtonProcedure);
    Register(PROGRESS_CLASSA, ProgressProcedure);
    // The dialog class of templates that name none; the platform knows it by atom 0x8002.
    Register("#32770", DefDlgProcA, 0x8002);
}

} // namespace platform::controls

void InitCommonControls() {
    platform::user::EnsureSystemClasses();
}
