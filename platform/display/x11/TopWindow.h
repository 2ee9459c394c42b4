// What the display tells the window manager about its top-level X windows: the fixed size and
// place, the title in Latin-1 and UTF-8, the icon, the close protocol and the window class.
// The icon is the program's icon group's image closest to 32 x 32 with the most colours, read
// from its device-independent bitmap (colour bits, then the one-bit transparency mask), 1, 4 or
// 8 bits per pixel with a colour table.
//
//     x11::TopWindowHints hints(display);
//     const Window window = hints.Create(rect, background);
//     hints.SetTitle(window, "Caption");
#pragma once

#include "platform/runtime/WinTypes.h"

#include <X11/Xlib.h>

#include <string>

namespace platform::display::x11 {

class TopWindowHints {
public:
    explicit TopWindowHints(Display* display);

    // A new, unmapped top-level window at the rectangle's screen place and size, which the
    // window manager may neither move nor resize, that takes the events the display handles
    // and asks to be told of the close rather than be killed.
    Window Create(const RECT& rect, unsigned long background);

    void SetTitle(Window window, const std::string& title);
    // The icon group's image as the window's icon; nothing when it cannot be read.
    void SetIcon(Window window, HICON icon, HINSTANCE instance);

    // Whether the event is the window manager's request to close a window.
    bool IsCloseRequest(const XEvent& event) const;

private:
    Display* mDisplay;
    Atom mProtocols = 0;
    Atom mDeleteWindow = 0;
    Atom mNetName = 0;
    Atom mNetIcon = 0;
    Atom mUtf8 = 0;
};

} // namespace platform::display::x11
