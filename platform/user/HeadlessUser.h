// The user of a program that runs without any display: nobody can press a key, so this stand-in
// presses Return on the main window whenever a window's text changed, and every 25 ms besides.
// Return does nothing while the batch runs and closes the program once the button reads "Done",
// so a headless run converts everything and then ends by itself, at once.
#pragma once

#include "platform/runtime/WinTypes.h"

namespace platform {

// Starts the stand-in for *window (read at each press, so it may be set later).
void StartHeadlessUser(HWND* window);

// A window's text has changed: the stand-in, if one runs, presses at once. Cheap when none runs.
void WakeHeadlessUser();

} // namespace platform
