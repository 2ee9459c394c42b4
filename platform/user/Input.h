// Input from the user, as a display backend (or a test standing in for the user) delivers it.
//
// Input is queued to the thread that owns the target window and comes out of GetMessageA after
// the posted messages. When it is taken out, input for a window that has been destroyed, or that
// is disabled itself or through one of its ancestors, is dropped: a disabled window takes no
// input. Safe from any thread.
//
//     platform::PostClick(button);               // press and release the left mouse button on it
//     platform::PostKeyPress(mainWindow, VK_RETURN);
#pragma once

#include "platform/runtime/WinTypes.h"

namespace platform {

// One input message (WM_KEYDOWN, WM_LBUTTONDOWN, ...) for `target`. FALSE when the window does
// not exist.
BOOL PostInput(HWND target, UINT message, WPARAM wParam, LPARAM lParam);
// WM_KEYDOWN and WM_KEYUP of a virtual key, for the keyboard focus of the window's thread when
// the focus is `window` or one of its descendants, otherwise for `window` itself.
BOOL PostKeyPress(HWND window, UINT virtualKey);
// WM_LBUTTONDOWN and WM_LBUTTONUP at the middle of the window's client area.
BOOL PostClick(HWND window);

} // namespace platform
