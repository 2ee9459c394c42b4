// Process-wide values owned by the application shell.
//
// `gMainWindow` is written once, before the worker thread starts, and only read afterwards (by the
// batch driver and the progress panel). `gExitDeleteName` is written by the main window when it
// closes: the name of the output it was showing. Nothing deletes by that name; the exit handler
// removes every file the run made and had not finished (crt::_fcloseall), that one among them.
#pragma once

#include "platform/user/WinMessages.h"
#include "platform/runtime/WinTypes.h"
#include "resources/ControlIds.h"

extern HWND gMainWindow;
extern HINSTANCE gInstance;
extern char gExitDeleteName[260];

// The program's own window message: the batch has ended (posted once by the worker).
constexpr UINT UM_BATCHDONE = WM_USER + 2;
