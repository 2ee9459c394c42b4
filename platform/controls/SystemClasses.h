// The window procedures of the system's control classes, and their registration.
#pragma once

#include "platform/runtime/WinTypes.h"

namespace platform::controls {

LRESULT StaticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ProgressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers "static", "button", "msctls_progress32" and the dialog class "#32770". The class table calls it once, before
// its first use.
void RegisterSystemClasses();

} // namespace platform::controls
