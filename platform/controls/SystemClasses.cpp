#include "platform/controls/SystemClasses.h"

#include "platform/controls/Controls.h"
#include "platform/user/UserDialog.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WindowClass.h"

namespace platform::controls {
namespace {

void Register(const char* name, WNDPROC procedure, ATOM atom = 0) {
    WNDCLASSA record{};
    record.lpfnWndProc = procedure;
    record.lpszClassName = name;
    user::AddClass(record, true, atom);
}

} // namespace

LRESULT ControlDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_SETTEXT || message == WM_ENABLE) InvalidateRect(window, nullptr, TRUE);
    return result;
}

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
