#include "platform/display/x11/TopWindow.h"

#include "platform/display/x11/IconImage.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace platform::display::x11 {
namespace {

// Window texts are single bytes (Latin-1); the window manager's name wants UTF-8.
std::string Utf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void FixSize(Display* display, Window window, int x, int y, int width, int height) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->width = hints->min_width = hints->max_width = width;
    hints->height = hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

} // namespace

TopWindowHints::TopWindowHints(Display* display) : mDisplay(display) {
    mProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    mDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    mNetName = XInternAtom(display, "_NET_WM_NAME", False);
    mNetIcon = XInternAtom(display, "_NET_WM_ICON", False);
    mUtf8 = XInternAtom(display, "UTF8_STRING", False);
}

Window TopWindowHints::Create(const RECT& rect, unsigned long background) {
    const int width = std::max(1, static_cast<int>(rect.right - rect.left));
    const int height = std::max(1, static_cast<int>(rect.bottom - rect.top));
    const Window window = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), rect.left, rect.top,
                                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                              BlackPixel(mDisplay, DefaultScreen(mDisplay)), background);
    FixSize(mDisplay, window, rect.left, rect.top, width, height);
    XSelectInput(mDisplay, window,
                 ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
    XSetWMProtocols(mDisplay, window, &mDeleteWindow, 1);
    XClassHint hint{const_cast<char*>("dudez"), const_cast<char*>("Dudez")};
    XSetClassHint(mDisplay, window, &hint);
    return window;
}

void TopWindowHints::SetTitle(Window window, const std::string& title) {
    XStoreName(mDisplay, window, title.c_str());
    const std::string utf8 = Utf8(title);
    XChangeProperty(mDisplay, window, mNetName, mUtf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
}

void TopWindowHints::SetIcon(Window window, HICON icon, HINSTANCE instance) {
    IconImage image;
    if (!icon || !LoadIconImage(icon, instance, &image)) return;
    // Format 32 properties travel as longs on the client side, whatever their size.
    std::vector<unsigned long> data;
    data.push_back(static_cast<unsigned long>(image.width));
    data.push_back(static_cast<unsigned long>(image.height));
    for (std::uint32_t argb : image.pixels) data.push_back(argb);
    XChangeProperty(mDisplay, window, mNetIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

bool TopWindowHints::IsCloseRequest(const XEvent& event) const {
    return event.type == ClientMessage && event.xclient.message_type == mProtocols &&
           static_cast<Atom>(event.xclient.data.l[0]) == mDeleteWindow;
}

} // namespace platform::display::x11
