// The modal message box.
//
// MessageBoxA shows a box owned by the top-level window of `owner` and returns the id of the
// button that closed it. While the box is up the owner is disabled (it takes no input and no
// keyboard commands); afterwards it is enabled again, unless it was disabled before. A null
// caption reads "Error". How the box reaches the user is up to the display: without one it is
// written to standard error as one line "<caption>: <text>" and counts as answered with OK.
//
//     MessageBoxA(gMainWindow, text, nullptr, MB_ICONHAND | MB_SETFOREGROUND);
#pragma once

#include "platform/runtime/WinTypes.h"

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Button ids, also the results of MessageBoxA.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
