// The ids of the main window's controls and the commands its keys and buttons send: the one list
// that the dialog template, the accelerator table, the main window and the displays share.
//
//     SetDlgItemTextA(window, IDC_FILENAME, "take.wav");
//     case IDC_NEXT: StepPictureForward(); break;
#pragma once

// Commands: a button's click and an accelerator key send WM_COMMAND with its id.
constexpr int IDC_RETURN = 1;   // Return: closes the window once the batch is done (IDOK)
constexpr int IDC_ESCAPE = 2;   // Escape or the system Close: ends the program (IDCANCEL)

// Controls of the main window, which are also commands when they are buttons.
constexpr int IDC_ABORT = 3;        // Abort, then Done
constexpr int IDC_PROGRESS = 1000;  // the progress bar
constexpr int IDC_TOTAL = 1001;     // the current file's size
constexpr int IDC_FILENAME = 1002;  // the current output's name
constexpr int IDC_PREVIOUS = 1003;  // the picture before
constexpr int IDC_NEXT = 1004;      // the picture after
constexpr int IDC_PICTURE = 1005;   // where the pictures are drawn
constexpr int IDC_CREDIT = 1007;    // the line under the picture
