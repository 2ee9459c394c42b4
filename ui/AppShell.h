// The application shell: the program's entry point and its end.
//
// WinMain registers the exit handler, the window class and the keys, prepares the pictures,
// creates the main window from its template, starts the worker on the command line and runs the
// message loop until the window asks to quit. At exit, ExitCleanup stops the worker's file work,
// closes every file still open and deletes the output file that was being written, so closing the
// program in mid-file leaves no partial output behind.
#pragma once

#include "platform/runtime/WinTypes.h"

void ExitCleanup();

// After WinMain has returned (its result given): stops the worker's file work, so that what the
// report says is what stays, prints the report of every name on standard output and returns the
// program's exit status: 0 when every name was converted and the batch ran to its end, else 1.
int FinishRun(int winMainResult);
