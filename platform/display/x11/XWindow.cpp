#include "platform/display/x11/XWindow.h"

#include "platform/display/DisplayText.h"
#include "platform/display/x11/IconImage.h"
#include "platform/display/x11/XLibraries.h"
#include "platform/user/WinMessages.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace platform::display::x11 {
namespace {

// The keys the window model knows (Escape, Return, the arrows, Page Up and Down, Space, Tab) by
// their X key symbols; any other key is not passed on.
constexpr std::pair<KeySym, UINT> kKeys[] = {
    {XK_Escape, VK_ESCAPE}, {XK_Return, VK_RETURN}, {XK_KP_Enter, VK_RETURN}, {XK_Left, VK_LEFT},
    {XK_KP_Left, VK_LEFT},  {XK_Right, VK_RIGHT},   {XK_KP_Right, VK_RIGHT},  {XK_Up, VK_UP},
    {XK_Down, VK_DOWN},     {XK_Prior, VK_PRIOR},   {XK_KP_Prior, VK_PRIOR},  {XK_Next, VK_NEXT},
    {XK_KP_Next, VK_NEXT},  {XK_space, VK_SPACE},   {XK_Tab, VK_TAB},         {XK_ISO_Left_Tab, VK_TAB}};

} // namespace

UINT VirtualKey(XKeyEvent key) {
    const KeySym symbol = XLookupKeysym(&key, 0);
    const auto known = std::find_if(std::begin(kKeys), std::end(kKeys),
                                    [&](const auto& entry) { return entry.first == symbol; });
    return known == std::end(kKeys) ? 0 : known->second;
}

Atom AtomOf(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

Window MakeTopWindow(Display* display, const RECT& rect, unsigned long background, bool placed) {
    const int width = std::max(1, static_cast<int>(rect.right - rect.left));
    const int height = std::max(1, static_cast<int>(rect.bottom - rect.top));
    const int x = placed ? rect.left : 0, y = placed ? rect.top : 0;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y,
                                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                              BlackPixel(display, DefaultScreen(display)), background);
    XSizeHints size{};
    size.flags = PSize | PMinSize | PMaxSize | (placed ? USPosition | PPosition : 0);
    size.x = x;
    size.y = y;
    size.width = size.min_width = size.max_width = width;
    size.height = size.min_height = size.max_height = height;
    XSetWMNormalHints(display, window, &size);
    XSelectInput(display, window,
                 ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
    Atom deleteWindow = AtomOf(display, "WM_DELETE_WINDOW");
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XClassHint hint{const_cast<char*>("dudez"), const_cast<char*>("Dudez")};
    XSetClassHint(display, window, &hint);
    return window;
}

void SetTitle(Display* display, Window window, const std::string& title) {
    // WM_NAME is for window managers of old; the program's titles are ASCII, which they show right.
    XStoreName(display, window, title.c_str());
    // Window texts are read as UTF-8, as everything the displays draw: the name the window
    // manager shows is the same characters, a byte that is not UTF-8 a replacement mark.
    const std::string utf8 = EncodeUtf8(DisplayCharacters(title));
    XChangeProperty(display, window, AtomOf(display, "_NET_WM_NAME"), AtomOf(display, "UTF8_STRING"), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
}

void SetIcon(Display* display, Window window, HICON icon, HINSTANCE instance) {
    const std::vector<unsigned long> data = LoadIconImage(icon, instance);
    if (data.empty()) return;
    XChangeProperty(display, window, AtomOf(display, "_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

bool IsCloseRequest(Display* display, const XEvent& event) {
    return event.type == ClientMessage && event.xclient.message_type == AtomOf(display, "WM_PROTOCOLS") &&
           static_cast<Atom>(event.xclient.data.l[0]) == AtomOf(display, "WM_DELETE_WINDOW");
}

} // namespace platform::display::x11
