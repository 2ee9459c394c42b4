// The user of a program that runs without any display: nobody can press a key, so this stand-in
// presses Return on the main window every few thousandths of a second. Return does
// nothing while the batch runs and closes the program once the button reads "Done", so a
// headless run converts everything and then ends by itself.
#pragma once

#include "platform/runtime/WinTypes.h"

namespace platform {

// Starts the stand-in for *window (read at each press, so it may be set later).
void StartHeadlessUser(HWND* window);

} // namespace platform
