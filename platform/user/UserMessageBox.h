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
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_SETFOREGROUND = 0x00010000;

// Button ids, also the results of MessageBoxA.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
