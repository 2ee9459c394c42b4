// The progress bar: a range, a position that always lies within it, and a step.
#include "platform/controls/Controls.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/controls/ControlState.h"
#include "platform/controls/SystemClasses.h"

namespace platform::controls {
namespace {

struct ProgressState : user::ControlData {
    int low = 0;       // range minimum
    int high = 100;    // range maximum
    int position = 0;  // low <= position <= high (position == low when high < low)
    int step = 10;     // how far a step moves; kept for whoever steps the bar

    int Clamp(int value) const {
        if (value > high) value = high;
        if (value < low) value = low;
        return value;
    }
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

struct Change {
    LRESULT previous = 0;
    bool changed = false;
};

LRESULT Repaint(HWND window, Change change) {
    if (change.changed) InvalidateRect(window, nullptr, TRUE);
    return change.previous;
}

} // namespace

LRESULT ProgressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case PBM_SETRANGE:
        return Repaint(window, WithControlState<ProgressState>(window, [lParam](ProgressState& s) {
            const Change change{MAKELPARAM(s.low, s.high),
                                s.low != LOWORD(lParam) || s.high != HIWORD(lParam)};
            s.low = LOWORD(lParam);
            s.high = HIWORD(lParam);
            s.position = s.Clamp(s.position);
            return change;
        }));
    case PBM_SETPOS:
        return Repaint(window, WithControlState<ProgressState>(window, [wParam](ProgressState& s) {
            Change change{s.position, false};
            const int position = s.Clamp(AsInt(wParam));
            change.changed = position != s.position;
            s.position = position;
            return change;
        }));
    case PBM_SETSTEP:
        return WithControlState<ProgressState>(window, [wParam](ProgressState& s) {
            const LRESULT previous = s.step;
            s.step = AsInt(wParam);
            return previous;
        });
    case PBM_GETPOS:
        return WithControlState<ProgressState>(
            window, [](ProgressState& s) { return static_cast<LRESULT>(s.position); });
    default:
        return ControlDefault(window, message, wParam, lParam);
    }
}

} // namespace platform::controls
