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

#include "platform/runtime/WinTypes.h"

namespace platform {

// Blocks the stop signals in the calling thread and every thread it starts later.
void BlockStopSignals();

// A write to a pipe whose reader has gone (`dudez ... | head -1`), and one past the file-size
// limit (`ulimit -f`), fail with EPIPE and EFBIG like any failed write, instead of ending the
// program with SIGPIPE or SIGXFSZ in the middle of a file.
void KeepWriteFailuresAsErrors();

// Starts the thread that turns each stop signal into WM_CLOSE for *window (read when the signal
// comes, so it may be set later; a signal before the window exists waits for it).
void ForwardStopSignals(HWND* window);

} // namespace platform
