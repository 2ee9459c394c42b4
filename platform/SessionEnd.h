// How the end of a session reaches the program when there is no window manager to ask: the
// terminal's and the system's stop signals (SIGINT, SIGTERM, SIGHUP) arrive at the main window as
// the system Close, WM_CLOSE, so the program ends exactly as if its window had been closed.
//
//     platform::BlockStopSignals();            // first thing in main, before any thread starts
//     ...
//     platform::ForwardStopSignals(&gMainWindow);
//
// The signals are taken by one thread of their own with sigwait, never by a handler that
// interrupts the program, so nothing runs in signal context.
#pragma once

#include "platform/WinTypes.h"

namespace platform {

// Blocks the stop signals in the calling thread and every thread it starts later.
void BlockStopSignals();

// Starts the thread that turns each stop signal into WM_CLOSE for *window (read when the signal
// comes, so it may be set later; a signal before the window exists waits for it).
void ForwardStopSignals(HWND* window);

} // namespace platform
