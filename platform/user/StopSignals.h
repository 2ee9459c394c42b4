// The stop signals (SIGINT, SIGTERM, SIGHUP; platform/runtime/SessionEnd.h) arrive at the main
// window as the system Close, WM_CLOSE, so the program ends exactly as if its window had been
// closed.
//
//     platform::ForwardStopSignals(&gMainWindow);
#pragma once

#include "platform/runtime/WinTypes.h"

namespace platform {

// Each stop signal becomes WM_CLOSE for *window (read when the signal comes, so it may be set
// later; a signal before the window exists waits for it).
void ForwardStopSignals(HWND* window);

} // namespace platform
