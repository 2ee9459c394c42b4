// The window procedures of the system's control classes, and their registration.
#pragma once

#include "platform/runtime/WinTypes.h"

namespace platform::controls {

// What every control does: a change of its text or of its enabled state repaints it, as the
// display shows both; the rest is the default processing. It is the whole of the static control
// (a text, a frame or a filled rectangle by its SS_* kind), which takes no input.
LRESULT ControlDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ProgressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers "static", "button", "msctls_progress32" and the dialog class "#32770". The class table calls it once, before
// its first use.
void RegisterSystemClasses();

} // namespace platform::controls
