// Numbers of the window messages, virtual keys and mouse-key flags the program and the window
// system exchange. Values are the platform's own, so program code compares them as it would there.
#pragma once

#include "platform/runtime/WinTypes.h"

constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETFOCUS = 0x0007;   // wParam: the window that lost the focus
constexpr UINT WM_KILLFOCUS = 0x0008;  // wParam: the window that gets the focus
constexpr UINT WM_ENABLE = 0x000A;     // wParam: TRUE when enabled
constexpr UINT WM_SETTEXT = 0x000C;    // lParam: the text
constexpr UINT WM_GETTEXT = 0x000D;    // wParam: buffer size in characters; lParam: the buffer
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018; // wParam: TRUE when shown
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;    // wParam: virtual key
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;       // wParam: character code
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_COMMAND = 0x0111;    // wParam: id (low word), notification (high word)
// The notification of a click on a push button, or of a dialog command from the keyboard.
constexpr WORD BN_CLICKED = 0;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201; // lParam: client x (low word), y (high word)
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_USER = 0x0400;

// System commands (WM_SYSCOMMAND wParam).
constexpr WPARAM SC_CLOSE = 0xF060;

// Mouse-key flags in the wParam of mouse messages.
constexpr WPARAM MK_LBUTTON = 0x0001;

// Virtual-key codes.
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_F4 = 0x73;
