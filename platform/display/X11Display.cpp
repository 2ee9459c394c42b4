// The X11 display: opening the connection, choosing the scale and the font, and Xlib's handlers
// for errors and for the lost connection. The backend itself is x11/X11Backend.
#include "platform/display/X11Display.h"

#include "platform/display/x11/ScreenScale.h"
#include "platform/display/x11/TextFont.h"
#include "platform/display/x11/X11Backend.h"
#include "platform/display/x11/XLibraries.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace platform::display {
namespace {

// An X error is about a request that came too late: most often one on a window that someone else
// destroyed while it was on its way. Xlib's default handler would end the program there; the
// request is simply lost instead, and the window's end reaches the program as DestroyNotify.
int IgnoreLateRequest(Display*, XErrorEvent*) {
    return 0;
}

// The connection is gone (the server ended or was killed). Never returns.
int ConnectionLost(Display*) {
    if (x11::X11Backend* backend = x11::X11Backend::Live()) backend->LoseConnection();
    // Lost before the display thread ran: nothing is shown yet, and no window can be closed.
    std::fputs("dudez: the connection to the X display was lost\n", stderr);
    std::_Exit(1);
}

} // namespace

std::unique_ptr<Backend> OpenX11Display() {
    if (!x11::LoadXLibraries()) return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    XSetErrorHandler(IgnoreLateRequest);
    XSetIOErrorHandler(ConnectionLost);
    // The whole scale is the dialog's: its font is 10 points at 96 dpi times the scale, so the
    // texts keep their proportion to the layout whatever the screen's exact dpi.
    const int unit = x11::WholeScale(x11::ScreenDpi(display));
    std::unique_ptr<x11::TextFont> font = x11::OpenXftFont(display, 96.0 * unit);
    if (!font) font = x11::OpenCoreFont(display);
    if (!font) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<x11::X11Backend>(display, std::move(font), unit);
}

} // namespace platform::display
