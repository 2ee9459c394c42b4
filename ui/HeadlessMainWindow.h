// A stand-in for the main window with the controls a conversion talks to (the progress bar, the
// file name and total texts, the Abort button), made gMainWindow: tests, fuzz targets and
// benchmarks run the converter against it without the dialog, the pictures or a display.
//
//     HWND window = MakeHeadlessMainWindow(WatchForBatchDone);   // its messages go there
//     ... run the batch, pump messages until UM_BATCHDONE ...
//     DestroyHeadlessMainWindow(window);
//
// One at a time: the procedures are the process's until the next one is made.
#pragma once

#include "platform/runtime/WinTypes.h"

// `procedure` gets the main window's messages, `textProcedure` those of the file name and the
// total (each passes on to DefWindowProcA for the usual handling).
HWND MakeHeadlessMainWindow(WNDPROC procedure = nullptr, WNDPROC textProcedure = nullptr);
void DestroyHeadlessMainWindow(HWND window);
