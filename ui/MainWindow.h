// The main window's procedure: closing, paging the pictures, the Return key once the batch is
// done, and the end of the batch.
//
// Closing never destroys the window itself: it posts the window its own WM_DESTROY, whose handler
// saves the name shown in control 1002 (the unfinished output, if any, which the exit handler
// deletes), stops the worker's file work and posts the quit message. The window stays up until
// the process ends.
#pragma once

#include "platform/WinTypes.h"

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
