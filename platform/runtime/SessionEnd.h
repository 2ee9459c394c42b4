// How the end of a session reaches the program when there is no window manager to ask: the
// terminal's and the system's stop signals (SIGINT, SIGTERM, SIGHUP) are handed to whoever asked
// for them (the window layer turns each into WM_CLOSE for the main window: user/StopSignals.h).
//
//     platform::BlockStopSignals();            // first thing in main, before any thread starts
//     ...
//     platform::OnStopSignals([] { ... });
//
// The signals are taken by one thread of their own with sigwait, never by a handler that
// interrupts the program, so nothing runs in signal context (the one handler, of the poke that
// cuts a blocked write short at the end, does nothing).
#pragma once


#include <functional>
#include <string_view>

namespace platform {

// Blocks the stop signals in the calling thread and every thread it starts later.
void BlockStopSignals();

// A write to a pipe whose reader has gone (`dudez ... | head -1`), and one past the file-size
// limit (`ulimit -f`), fail with EPIPE and EFBIG like any failed write, instead of ending the
// program with SIGPIPE or SIGXFSZ in the middle of a file.
void KeepWriteFailuresAsErrors();

// A run in the background of its shell is never stopped by its terminal (SIGTTOU, SIGTTIN): it
// shows no window there, and a report written to the terminal goes through.
void KeepWorkingInTheBackground();

// Starts the thread that takes the stop signals and calls `deliver` on it for each. A process
// that got a stop signal ends with status 1, whenever it came.
void OnStopSignals(std::function<void()> deliver);

// A stop always stops. What the program writes at its end (the report, the held-back traces,
// the terminal's restoring) may block on a pipe nobody reads or a terminal that takes nothing;
// once the program has been stopped, such a write is given up a moment later and what it had
// left is dropped.
//
//     platform::BeginEnding(/*stopped=*/!ending.finished);   // this thread writes the end
//     platform::WriteUnlessStopped(STDOUT_FILENO, report);
//
// The program's end is written by the calling thread from now on; `stopped` tells that the
// program was ended before its work was done (Abort, Escape, Close). A stop signal counts
// as a stop at any time.
void BeginEnding(bool stopped);

// The calling thread's blocking calls are cut short too once the end is being cut (a display
// thread that the end waits for); ForgetCutting before the thread ends.
void CutOnStop();
void ForgetCutting();

// Whether the end is being cut now: the program was stopped a moment ago and its end has
// begun. Blocking calls of the threads named above then fail with EINTR.
bool EndIsCut();

// Whether a stop signal has come.
bool StopSignalled();

// Writes all of `bytes`, going on after a signal unless the end is being cut. False when it
// gave up (the rest is dropped) or the descriptor failed.
bool WriteUnlessStopped(int descriptor, std::string_view bytes);

} // namespace platform
