// The application shell: the program's entry point and its end.
//
// WinMain registers the exit handler, the window class and the keys, prepares the pictures,
// creates the main window from its template, starts the worker on the command line and runs the
// message loop until the window asks to quit. At exit, ExitCleanup stops the worker's file work,
// closes every file still open and deletes the output file that was being written, so closing the
// program in mid-file leaves no partial output behind.
#pragma once

#include "platform/Windows.h"

void ExitCleanup();
