// What the X11 display tells the window manager about each of its top-level X windows (the
// fixed size, for a message box its place, the title, the icon, the close protocol and the
// window class) and what it reads back from the server's events (the close request, the keys).
// Xlib keeps the atoms it has interned, so a name is asked of the server once.
//
//     const Window window = MakeTopWindow(display, rect, background, false);
//     SetTitle(display, window, "DUDEZ");
#pragma once

#include "platform/runtime/WinTypes.h"

#include <X11/Xlib.h>

#include <string>

namespace platform::display::x11 {

Atom AtomOf(Display* display, const char* name);

// A new, unmapped top-level window of the rectangle's size, which the window manager may not
// resize, that takes the events the display handles and asks to be told of the close rather
// than be killed. Only when `placed` does it ask for the rectangle's place: a main window asks
// for none, so the window manager places it as it places any new window (four copies started
// at once do not open on top of each other).
Window MakeTopWindow(Display* display, const RECT& rect, unsigned long background, bool placed);

void SetTitle(Display* display, Window window, const std::string& title);

// The icon group's image as the window's icon; nothing when it cannot be read (a null icon is
// no icon group's).
void SetIcon(Display* display, Window window, HICON icon, HINSTANCE instance);

// Whether the event is the window manager's request to close a window.
bool IsCloseRequest(Display* display, const XEvent& event);

// The key the window model knows for a key press (Escape, Return, the arrows, Page Up and Down,
// Space, Tab); 0 for any other, which is not passed on.
UINT VirtualKey(XKeyEvent key);

} // namespace platform::display::x11
