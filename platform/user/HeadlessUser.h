// The user of a program that runs without any display: nobody can press a key, so this stand-in
// presses Return on the main window whenever a button's text changed. Return does nothing while
// the batch runs and closes the program once the button reads "Done", so a headless run converts
// everything and then ends by itself, at once. No thread of its own: the press is posted by the
// thread that changed the text (a thread more, and a round through it for each press, were a
// third of a millisecond of every start).
#pragma once

#include "platform/runtime/WinTypes.h"

namespace platform {

// Starts the stand-in for *window (read at each press, so it may be set later).
void StartHeadlessUser(HWND* window);

// A button's text has changed: the stand-in, if one runs, presses at once. Cheap when none runs.
void WakeHeadlessUser();

} // namespace platform
