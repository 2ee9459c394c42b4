// The main window's procedure: closing, paging the pictures, the Return key once the batch is
// done, and the end of the batch.
//
// Closing never destroys the window itself: it posts the window its own WM_DESTROY, whose handler
// saves the name shown in the file name control (the output being written, if any; the exit
// handler removes every unfinished file, that one among them), stops the worker's file work and
// posts the quit message. The window stays up until the process ends.
#pragma once

#include "platform/runtime/WinTypes.h"

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The window class "DUDEZ" that the dialog template names: this procedure, the program's icon,
// the menu colour behind the controls. False when it cannot be registered.
bool RegisterMainWindowClass(HINSTANCE instance);
