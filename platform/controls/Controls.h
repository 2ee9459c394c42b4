// The system's control classes: "static" (a text or frame), "button" (a push button) and the
// progress bar "msctls_progress32", with their styles and messages.
//
// A push button turns a click, or Space pressed and released while it has the focus, into
// WM_COMMAND to its parent: wParam MAKEWPARAM(id, BN_CLICKED), lParam the button's handle.
// The progress bar keeps a range (0 to 100 at first), a position that always stays within the
// range, and a step (10 at first).
//
//     InitCommonControls();
//     SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
//     SendMessageA(bar, PBM_SETPOS, 50, 0);
#pragma once

#include "platform/user/WinMessages.h"
#include "platform/runtime/WinTypes.h"

// Makes sure the progress bar class exists.
void InitCommonControls();

constexpr const char* PROGRESS_CLASSA = "msctls_progress32";

// Static control styles; the low five bits are the kind.
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_BLACKRECT = 0x0004;
constexpr DWORD SS_GRAYRECT = 0x0005;
constexpr DWORD SS_WHITERECT = 0x0006;
constexpr DWORD SS_BLACKFRAME = 0x0007;
constexpr DWORD SS_GRAYFRAME = 0x0008;
constexpr DWORD SS_WHITEFRAME = 0x0009;
constexpr DWORD SS_SIMPLE = 0x000B;
constexpr DWORD SS_LEFTNOWORDWRAP = 0x000C;
constexpr DWORD SS_TYPEMASK = 0x001F;
constexpr DWORD SS_SUNKEN = 0x1000;

// The push button, the one kind of button there is; its notification (high word of
// WM_COMMAND's wParam) is BN_CLICKED (WinMessages.h).
constexpr DWORD BS_PUSHBUTTON = 0x0000;

// Progress bar messages.
constexpr UINT PBM_SETRANGE = WM_USER + 1; // lParam: minimum (low word), maximum (high word);
                                           // returns the previous range in the same form
constexpr UINT PBM_SETPOS = WM_USER + 2;   // wParam: position; returns the previous one
constexpr UINT PBM_SETSTEP = WM_USER + 4;  // wParam: step; returns the previous one
