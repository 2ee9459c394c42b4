// Process-wide values owned by the application shell.
//
// `gMainWindow` is written once, before the worker thread starts, and only read afterwards (by the
// batch driver and the progress panel). `gExitDeleteName` is written by the main window when it
// closes: the name of the output it was showing. Nothing deletes by that name; the exit handler
// removes every file the run made and had not finished (crt::_fcloseall), that one among them.
#pragma once

#include "platform/WinMessages.h"
#include "platform/WinTypes.h"

extern HWND gMainWindow;
extern HINSTANCE gInstance;
extern char gExitDeleteName[260];

// The program's own window message: the batch has ended (posted once by the worker).
constexpr UINT UM_BATCHDONE = WM_USER + 2;

// Control ids of the main window.
constexpr int IDC_ABORT = 3;
constexpr int IDC_PROGRESS = 1000;
constexpr int IDC_TOTAL = 1001;
constexpr int IDC_FILENAME = 1002;
constexpr int IDC_PREVIOUS = 1003;
constexpr int IDC_NEXT = 1004;
constexpr int IDC_PICTURE = 1005;
constexpr int IDC_CREDIT = 1007;
