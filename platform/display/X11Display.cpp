// The X11 display: one thread owns the connection, draws the model when it has changed (at most
// about 30 frames a second) and turns the server's events into input messages.
#include "platform/display/X11Display.h"

#include "platform/Controls.h"
#include "platform/Input.h"
#include "platform/Model.h"
#include "platform/UserMessageBox.h"
#include "platform/UserQueue.h"
#include "platform/WinMessages.h"
#include "platform/display/x11/IconImage.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::display {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFrameInterval = std::chrono::milliseconds(33);

// The classic colours, 0xRRGGBB.
constexpr std::uint32_t kFace = 0xC0C0C0;
constexpr std::uint32_t kShadow = 0x808080;
constexpr std::uint32_t kHighlight = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kBar = 0x000080;
constexpr std::uint32_t kStop = 0xE00000;

bool SameName(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

// Client coordinates for an input message: x in the low word, y in the high word, each as a
// signed 16-bit number so a release outside the control stays outside.
LPARAM Position(int x, int y) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
                               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16));
}

bool Inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

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

UINT VirtualKey(KeySym key) {
    switch (key) {
    case XK_Escape: return VK_ESCAPE;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Left:
    case XK_KP_Left: return VK_LEFT;
    case XK_Right:
    case XK_KP_Right: return VK_RIGHT;
    case XK_Up: return VK_UP;
    case XK_Down: return VK_DOWN;
    case XK_Prior:
    case XK_KP_Prior: return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next: return VK_NEXT;
    case XK_space: return VK_SPACE;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    default: return 0;
    }
}

// The colour a window class's background brush stands for: a system colour number plus one.
std::uint32_t BackgroundColour(HWND window) {
    std::uintptr_t brush = 0;
    {
        user::ModelLock lock(user::ModelMutex());
        if (const user::Window* record = user::Find(window))
            brush = reinterpret_cast<std::uintptr_t>(record->windowClass->background);
    }
    switch (brush) {
    case 6: return 0xFFFFFF;   // the window colour
    case 9: return 0x000000;   // the window frame
    default: return kFace;     // menu, button face, dialog: the light grey
    }
}

struct TopIcon {
    HICON icon = nullptr;
    HINSTANCE instance = nullptr;
};

TopIcon ClassIcon(HWND window) {
    user::ModelLock lock(user::ModelMutex());
    const user::Window* record = user::Find(window);
    if (!record) return {};
    return {record->windowClass->icon, record->windowClass->instance};
}

// A message box waiting to be answered; shared by the caller's thread and the display thread.
struct Box {
    std::string text;
    std::string caption;
    HWND owner = nullptr;
    bool answered = false;      // under the backend's mutex
    // The rest belongs to the display thread.
    Window window = 0;
    int width = 0;
    int height = 0;
    std::vector<std::string> lines;
    RECT ok{};
    bool pressed = false;
    bool armed = false;         // the mouse went down on OK
};

// An X window standing for one top-level window of the model.
struct Top {
    Window window = 0;
    Pixmap back = 0;            // drawn here, then copied to the window in one go
    int width = 0;
    int height = 0;
    std::string title;
    bool mapped = false;
};

class X11Backend : public Backend {
public:
    X11Backend(Display* display, XFontStruct* font) : mDisplay(display), mFont(font) {
        mScreen = DefaultScreen(display);
        mVisual = DefaultVisual(display, mScreen);
        mDepth = DefaultDepth(display, mScreen);
        mColormap = DefaultColormap(display, mScreen);
        mRoot = RootWindow(display, mScreen);
        mGc = XCreateGC(display, mRoot, 0, nullptr);
        XSetFont(display, mGc, font->fid);
        mProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
        mDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        mNetName = XInternAtom(display, "_NET_WM_NAME", False);
        mNetIcon = XInternAtom(display, "_NET_WM_ICON", False);
        mUtf8 = XInternAtom(display, "UTF8_STRING", False);
        if (pipe(mWake) == 0) {
            fcntl(mWake[0], F_SETFL, O_NONBLOCK);
            fcntl(mWake[1], F_SETFL, O_NONBLOCK);
        }
        mThread = std::thread([this] { Run(); });
    }

    ~X11Backend() override {
        mStop = true;
        Wake();
        if (mThread.joinable()) mThread.join();
        {
            std::lock_guard<std::mutex> lock(mMutex);
            for (auto& box : mBoxes) box->answered = true;
        }
        mAnswered.notify_all();
        XFreeGC(mDisplay, mGc);
        XFreeFont(mDisplay, mFont);
        XCloseDisplay(mDisplay);
        close(mWake[0]);
        close(mWake[1]);
    }

    const char* Name() const override { return "x11"; }

    void WindowChanged(HWND) override {
        mDirty = true;
        Wake();
    }

    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT) override {
        auto box = std::make_shared<Box>();
        box->text = text;
        box->caption = caption;
        box->owner = owner;
        std::unique_lock<std::mutex> lock(mMutex);
        mBoxes.push_back(box);
        lock.unlock();
        Wake();
        lock.lock();
        mAnswered.wait(lock, [&] { return box->answered || mStop; });
        return IDOK;
    }

private:
    void Wake() {
        if (!mWakePending.exchange(true)) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = write(mWake[1], &byte, 1);
        }
    }

    void Run() {
        Clock::time_point lastFrame = Clock::now() - kFrameInterval;
        mDirty = true;
        while (!mStop) {
            while (XPending(mDisplay)) {
                XEvent event;
                XNextEvent(mDisplay, &event);
                Handle(event);
            }
            ServeBoxes();
            int timeout = -1;
            if (mDirty) {
                const Clock::time_point now = Clock::now();
                if (now - lastFrame >= kFrameInterval) {
                    mDirty = false;
                    DrawAll();
                    lastFrame = now;
                } else {
                    timeout = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                   kFrameInterval - (now - lastFrame)).count()) + 1;
                }
            }
            XFlush(mDisplay);
            if (XPending(mDisplay)) continue;
            pollfd fds[2] = {{ConnectionNumber(mDisplay), POLLIN, 0}, {mWake[0], POLLIN, 0}};
            poll(fds, 2, timeout);
            if (fds[1].revents & POLLIN) {
                mWakePending = false;
                char drain[64];
                while (read(mWake[0], drain, sizeof drain) > 0) {
                }
            }
        }
    }

    // --- colours and primitives --------------------------------------------------------------

    unsigned long Pixel(std::uint32_t rgb) {
        if (mVisual->c_class == TrueColor || mVisual->c_class == DirectColor) {
            return Channel((rgb >> 16) & 0xFF, mVisual->red_mask) |
                   Channel((rgb >> 8) & 0xFF, mVisual->green_mask) | Channel(rgb & 0xFF, mVisual->blue_mask);
        }
        auto found = mColours.find(rgb);
        if (found != mColours.end()) return found->second;
        XColor colour{};
        colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
        colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
        colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
        colour.flags = DoRed | DoGreen | DoBlue;
        const unsigned long pixel = XAllocColor(mDisplay, mColormap, &colour) ? colour.pixel : 0;
        mColours.emplace(rgb, pixel);
        return pixel;
    }

    static unsigned long Channel(std::uint32_t value, unsigned long mask) {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        int bits = 0;
        while ((mask >> (shift + bits)) & 1) ++bits;
        const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                               : static_cast<unsigned long>(value) >> (8 - bits);
        return (scaled << shift) & mask;
    }

    void Fill(Drawable target, std::uint32_t rgb, int x, int y, int w, int h) {
        if (w <= 0 || h <= 0) return;
        XSetForeground(mDisplay, mGc, Pixel(rgb));
        XFillRectangle(mDisplay, target, mGc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    }

    void Line(Drawable target, std::uint32_t rgb, int x1, int y1, int x2, int y2) {
        XSetForeground(mDisplay, mGc, Pixel(rgb));
        XDrawLine(mDisplay, target, mGc, x1, y1, x2, y2);
    }

    // A one-pixel edge around r: `topLeft` on the top and left sides, `bottomRight` on the others.
    void Edge(Drawable target, const RECT& r, std::uint32_t topLeft, std::uint32_t bottomRight) {
        if (r.right - r.left < 1 || r.bottom - r.top < 1) return;
        Line(target, topLeft, r.left, r.top, r.right - 2, r.top);
        Line(target, topLeft, r.left, r.top, r.left, r.bottom - 2);
        Line(target, bottomRight, r.left, r.bottom - 1, r.right - 1, r.bottom - 1);
        Line(target, bottomRight, r.right - 1, r.top, r.right - 1, r.bottom - 1);
    }

    void Frame(Drawable target, const RECT& r, std::uint32_t rgb) { Edge(target, r, rgb, rgb); }

    static RECT Inset(const RECT& r, int by) {
        return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by};
    }

    void Clip(const RECT& r) {
        XRectangle area{static_cast<short>(r.left), static_cast<short>(r.top),
                        static_cast<unsigned short>(std::max(0L, static_cast<long>(r.right - r.left))),
                        static_cast<unsigned short>(std::max(0L, static_cast<long>(r.bottom - r.top)))};
        XSetClipRectangles(mDisplay, mGc, 0, 0, &area, 1, Unsorted);
    }
    void Unclip() { XSetClipMask(mDisplay, mGc, None); }

    int TextWidth(const std::string& text) {
        return XTextWidth(mFont, text.data(), static_cast<int>(text.size()));
    }

    // Text at baseline y, cut at the edges of `clip`.
    void Text(Drawable target, const std::string& text, int x, int y, const RECT& clip, std::uint32_t rgb) {
        Clip(clip);
        XSetForeground(mDisplay, mGc, Pixel(rgb));
        XDrawString(mDisplay, target, mGc, x, y, text.data(), static_cast<int>(text.size()));
        Unclip();
    }

    // Grey text with a white shadow, as disabled controls show it.
    void TextOf(Drawable target, const std::string& text, int x, int y, const RECT& clip, bool enabled) {
        if (enabled) {
            Text(target, text, x, y, clip, kBlack);
        } else {
            Text(target, text, x + 1, y + 1, clip, kHighlight);
            Text(target, text, x, y, clip, kShadow);
        }
    }

    int CentredBaseline(const RECT& r) const {
        const int textHeight = mFont->ascent + mFont->descent;
        return r.top + (r.bottom - r.top - textHeight) / 2 + mFont->ascent;
    }

    // Pixels of 0x00RRGGBB at (x, y), at most w x h of them.
    void PutPixels(Drawable target, const SurfaceView& surface, int x, int y, int w, int h) {
        w = std::min(w, surface.width);
        h = std::min(h, surface.height);
        if (w <= 0 || h <= 0) return;
        XImage* image = XCreateImage(mDisplay, mVisual, static_cast<unsigned>(mDepth), ZPixmap, 0, nullptr,
                                     static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
        if (!image) return;
        image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) *
                                                     static_cast<std::size_t>(h)));
        if (!image->data) {
            XDestroyImage(image);
            return;
        }
        std::uint32_t lastRgb = 0xFFFFFFFFu;
        unsigned long lastPixel = 0;
        for (int row = 0; row < h; ++row) {
            for (int column = 0; column < w; ++column) {
                const std::uint32_t rgb = surface.At(column, row);
                if (rgb != lastRgb) {
                    lastRgb = rgb;
                    lastPixel = Pixel(rgb);
                }
                XPutPixel(image, column, row, lastPixel);
            }
        }
        XPutImage(mDisplay, target, mGc, image, 0, 0, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XDestroyImage(image);
    }

    // --- the controls' look ------------------------------------------------------------------

    void DrawStatic(Drawable target, const WindowView& view) {
        RECT inner = view.rect;
        if (view.style & SS_SUNKEN) {
            Edge(target, inner, kShadow, kHighlight);
            inner = Inset(inner, 1);
        }
        switch (view.style & SS_TYPEMASK) {
        case SS_BLACKFRAME: Frame(target, inner, kBlack); return;
        case SS_GRAYFRAME: Frame(target, inner, kShadow); return;
        case SS_WHITEFRAME: Frame(target, inner, kHighlight); return;
        case SS_BLACKRECT:
            Fill(target, kBlack, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top);
            return;
        case SS_GRAYRECT:
            Fill(target, kShadow, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top);
            return;
        case SS_WHITERECT:
            Fill(target, kHighlight, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top);
            return;
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP: {
            if (view.text.empty()) return;
            const int width = TextWidth(view.text);
            int x = inner.left;
            if ((view.style & SS_TYPEMASK) == SS_RIGHT) x = inner.right - width;
            if ((view.style & SS_TYPEMASK) == SS_CENTER) x = inner.left + (inner.right - inner.left - width) / 2;
            TextOf(target, view.text, x, inner.top + mFont->ascent, inner, view.enabled);
            return;
        }
        default: return;
        }
    }

    void DrawPushButton(Drawable target, const RECT& rect, const std::string& text, bool pushed,
                        bool focused, bool enabled) {
        Fill(target, kFace, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        RECT r = rect;
        if (focused || pushed) {
            Frame(target, r, kBlack);
            r = Inset(r, 1);
        }
        if (pushed) {
            Frame(target, r, kShadow);
        } else {
            Edge(target, r, kHighlight, kBlack);
            Edge(target, Inset(r, 1), kFace, kShadow);
        }
        const int offset = pushed ? 1 : 0;
        const int x = rect.left + (rect.right - rect.left - TextWidth(text)) / 2 + offset;
        TextOf(target, text, x, CentredBaseline(rect) + offset, Inset(rect, 2), enabled);
        if (focused) {
            const RECT mark = Inset(rect, 4);
            if (mark.right - mark.left > 1 && mark.bottom - mark.top > 1) {
                char dots[2] = {1, 1};
                XSetDashes(mDisplay, mGc, 0, dots, 2);
                XSetLineAttributes(mDisplay, mGc, 0, LineOnOffDash, CapButt, JoinMiter);
                XSetForeground(mDisplay, mGc, Pixel(kBlack));
                XDrawRectangle(mDisplay, target, mGc, mark.left, mark.top,
                               static_cast<unsigned>(mark.right - mark.left - 1),
                               static_cast<unsigned>(mark.bottom - mark.top - 1));
                XSetLineAttributes(mDisplay, mGc, 0, LineSolid, CapButt, JoinMiter);
            }
        }
    }

    // The bar fills with whole blocks, left to right, as far as the position has come.
    void DrawProgress(Drawable target, const WindowView& view) {
        RECT inner = view.rect;
        if (view.style & WS_BORDER) {
            Frame(target, inner, kBlack);
        } else {
            Edge(target, inner, kShadow, kHighlight);
        }
        inner = Inset(inner, 1);
        Fill(target, kFace, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top);
        inner = Inset(inner, 1);
        const int width = inner.right - inner.left;
        const int height = inner.bottom - inner.top;
        if (width <= 0 || height <= 0 || view.rangeHigh <= view.rangeLow) return;
        const long long done = static_cast<long long>(view.position - view.rangeLow) * width /
                               (view.rangeHigh - view.rangeLow);
        const int block = std::max(2, height * 2 / 3);
        Clip(inner);
        for (int x = 0; x < done; x += block + 2) Fill(target, kBar, inner.left + x, inner.top, block, height);
        Unclip();
    }

    void DrawControl(Drawable target, const WindowView& view) {
        if (SameName(view.className, "static")) {
            DrawStatic(target, view);
        } else if (SameName(view.className, "button")) {
            DrawPushButton(target, view.rect, view.text, view.pushed, view.focused, view.enabled);
        } else if (SameName(view.className, PROGRESS_CLASSA)) {
            DrawProgress(target, view);
        }
    }

    // --- top-level windows ----------------------------------------------------------------------

    void DrawAll() {
        std::vector<HWND> shown;
        for (HWND handle : TopLevelWindows()) {
            WindowView view;
            if (!InspectWindow(handle, &view) || !view.visible) continue;
            shown.push_back(handle);
            Top& top = Ensure(handle, view);
            DrawTop(handle, top, view);
        }
        for (auto it = mTops.begin(); it != mTops.end();) {
            if (std::find(shown.begin(), shown.end(), it->first) == shown.end()) {
                XFreePixmap(mDisplay, it->second.back);
                XDestroyWindow(mDisplay, it->second.window);
                if (mPressedTop == it->first) mPressed = nullptr;
                it = mTops.erase(it);
            } else {
                ++it;
            }
        }
    }

    Top& Ensure(HWND handle, const WindowView& view) {
        auto found = mTops.find(handle);
        if (found != mTops.end()) return found->second;
        Top top;
        top.width = std::max(1, static_cast<int>(view.rect.right - view.rect.left));
        top.height = std::max(1, static_cast<int>(view.rect.bottom - view.rect.top));
        top.window = XCreateSimpleWindow(mDisplay, mRoot, view.rect.left, view.rect.top,
                                         static_cast<unsigned>(top.width), static_cast<unsigned>(top.height), 0,
                                         Pixel(kBlack), Pixel(BackgroundColour(handle)));
        top.back = XCreatePixmap(mDisplay, top.window, static_cast<unsigned>(top.width),
                                 static_cast<unsigned>(top.height), static_cast<unsigned>(mDepth));
        FixSize(top.window, view.rect.left, view.rect.top, top.width, top.height);
        XSelectInput(mDisplay, top.window,
                     ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
        XSetWMProtocols(mDisplay, top.window, &mDeleteWindow, 1);
        XClassHint hint{const_cast<char*>("dudez"), const_cast<char*>("Dudez")};
        XSetClassHint(mDisplay, top.window, &hint);
        SetIcon(handle, top.window);
        XMapWindow(mDisplay, top.window);
        return mTops.emplace(handle, top).first->second;
    }

    // The window manager may neither move nor resize it.
    void FixSize(Window window, int x, int y, int width, int height) {
        XSizeHints* hints = XAllocSizeHints();
        if (!hints) return;
        hints->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
        hints->x = x;
        hints->y = y;
        hints->width = hints->min_width = hints->max_width = width;
        hints->height = hints->min_height = hints->max_height = height;
        XSetWMNormalHints(mDisplay, window, hints);
        XFree(hints);
    }

    void SetTitle(Window window, const std::string& title) {
        XStoreName(mDisplay, window, title.c_str());
        const std::string utf8 = Utf8(title);
        XChangeProperty(mDisplay, window, mNetName, mUtf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    }

    void SetIcon(HWND handle, Window window) {
        const TopIcon icon = ClassIcon(handle);
        x11::IconImage image;
        if (!icon.icon || !x11::LoadIconImage(icon.icon, icon.instance, &image)) return;
        // Format 32 properties travel as longs on the client side, whatever their size.
        std::vector<unsigned long> data;
        data.push_back(static_cast<unsigned long>(image.width));
        data.push_back(static_cast<unsigned long>(image.height));
        for (std::uint32_t argb : image.pixels) data.push_back(argb);
        XChangeProperty(mDisplay, window, mNetIcon, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    }

    void DrawTop(HWND handle, Top& top, const WindowView& view) {
        if (top.title != view.text || top.title.empty()) {
            top.title = view.text;
            SetTitle(top.window, top.title);
        }
        Fill(top.back, BackgroundColour(handle), 0, 0, top.width, top.height);
        SurfaceView surface;
        if (view.painted && ReadSurface(handle, &surface)) PutPixels(top.back, surface, 0, 0, top.width, top.height);
        for (HWND child : ChildWindows(handle)) {
            WindowView control;
            if (!InspectWindow(child, &control) || !control.visible) continue;
            DrawControl(top.back, control);
            // What the program drew into the control lies over its own look, cut at its edges.
            if (control.painted && ReadSurface(child, &surface)) {
                PutPixels(top.back, surface, control.rect.left, control.rect.top,
                          control.rect.right - control.rect.left, control.rect.bottom - control.rect.top);
            }
        }
        if (top.mapped) {
            XCopyArea(mDisplay, top.back, top.window, mGc, 0, 0, static_cast<unsigned>(top.width),
                      static_cast<unsigned>(top.height), 0, 0);
        }
    }

    HWND TopOf(Window window) {
        for (auto& [handle, top] : mTops)
            if (top.window == window) return handle;
        return nullptr;
    }

    // The visible control under (x, y) of the window's client area, the last made on top.
    static HWND ControlAt(HWND top, int x, int y) {
        const std::vector<HWND> children = ChildWindows(top);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            WindowView view;
            if (InspectWindow(*it, &view) && view.visible && Inside(view.rect, x, y)) return *it;
        }
        return nullptr;
    }

    // --- events ---------------------------------------------------------------------------------

    void Handle(XEvent& event) {
        if (std::shared_ptr<Box> box = BoxOf(event.xany.window)) {
            HandleBox(*box, event);
            return;
        }
        HWND handle = TopOf(event.xany.window);
        if (!handle) return;
        Top& top = mTops[handle];
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) mDirty = true;
            break;
        case MapNotify:
            top.mapped = true;
            mDirty = true;
            if (!AnyBoxShown()) XSetInputFocus(mDisplay, top.window, RevertToParent, CurrentTime);
            break;
        case UnmapNotify:
            top.mapped = false;
            break;
        case KeyPress: {
            const UINT key = VirtualKey(XLookupKeysym(&event.xkey, 0));
            if (key) PostKeyPress(handle, key);
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button1) {
                const int x = event.xbutton.x;
                const int y = event.xbutton.y;
                HWND target = ControlAt(handle, x, y);
                mPressed = target ? target : handle;
                mPressedTop = handle;
                mPressedOrigin = {0, 0};
                WindowView view;
                if (target && InspectWindow(target, &view)) mPressedOrigin = {view.rect.left, view.rect.top};
                PostInput(mPressed, WM_LBUTTONDOWN, MK_LBUTTON, Position(x - mPressedOrigin.x, y - mPressedOrigin.y));
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && mPressed) {
                PostInput(mPressed, WM_LBUTTONUP, 0,
                          Position(event.xbutton.x - mPressedOrigin.x, event.xbutton.y - mPressedOrigin.y));
                mPressed = nullptr;
            }
            break;
        case ClientMessage:
            if (event.xclient.message_type == mProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == mDeleteWindow) {
                PostMessageA(handle, WM_CLOSE, 0, 0);
            }
            break;
        default:
            break;
        }
    }

    // --- message boxes --------------------------------------------------------------------------

    std::shared_ptr<Box> BoxOf(Window window) {
        std::lock_guard<std::mutex> lock(mMutex);
        for (auto& box : mBoxes)
            if (box->window == window && window != 0) return box;
        return nullptr;
    }

    bool AnyBoxShown() {
        std::lock_guard<std::mutex> lock(mMutex);
        return std::any_of(mBoxes.begin(), mBoxes.end(), [](const auto& box) { return box->window != 0; });
    }

    void ServeBoxes() {
        std::vector<std::shared_ptr<Box>> waiting;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            for (auto& box : mBoxes)
                if (box->window == 0) waiting.push_back(box);
        }
        for (auto& box : waiting) OpenBox(*box);
    }

    // Greedy word wrap at spaces; a word wider than the line is broken where it must.
    std::vector<std::string> Wrap(const std::string& text, int width) {
        std::vector<std::string> lines;
        std::string line;
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find(' ', at);
            if (end == std::string::npos) end = text.size();
            std::string word = text.substr(at, end - at);
            at = end + 1;
            std::string joined = line.empty() ? word : line + " " + word;
            if (TextWidth(joined) <= width) {
                line = joined;
                continue;
            }
            if (!line.empty()) lines.push_back(line);
            line.clear();
            while (TextWidth(word) > width && word.size() > 1) {
                std::size_t fits = 1;
                while (fits < word.size() && TextWidth(word.substr(0, fits + 1)) <= width) ++fits;
                lines.push_back(word.substr(0, fits));
                word.erase(0, fits);
            }
            line = word;
        }
        if (!line.empty() || lines.empty()) lines.push_back(line);
        return lines;
    }

    void OpenBox(Box& box) {
        constexpr int kMargin = 12;
        constexpr int kIcon = 32;
        constexpr int kButtonWidth = 75;
        constexpr int kButtonHeight = 23;
        const int lineHeight = mFont->ascent + mFont->descent;
        box.lines = Wrap(box.text, 480);
        int textWidth = 0;
        for (const auto& line : box.lines) textWidth = std::max(textWidth, TextWidth(line));
        const int textHeight = lineHeight * static_cast<int>(box.lines.size());
        box.width = std::max(kMargin * 3 + kIcon + textWidth + kMargin, kButtonWidth + 2 * kMargin);
        box.width = std::max(box.width, 160);
        box.height = kMargin + std::max(kIcon, textHeight) + kMargin + kButtonHeight + kMargin;
        const int okLeft = (box.width - kButtonWidth) / 2;
        const int okTop = box.height - kMargin - kButtonHeight;
        box.ok = RECT{okLeft, okTop, okLeft + kButtonWidth, okTop + kButtonHeight};

        // Over the middle of its owner, or of the screen.
        Window owner = 0;
        int centreX = DisplayWidth(mDisplay, mScreen) / 2;
        int centreY = DisplayHeight(mDisplay, mScreen) / 2;
        WindowView view;
        if (box.owner && InspectWindow(box.owner, &view)) {
            centreX = (view.rect.left + view.rect.right) / 2;
            centreY = (view.rect.top + view.rect.bottom) / 2;
            // A box raised at once (the first file is bad) may come before the owner's first
            // frame: its X window is made now, so the box can name it as its owner.
            auto found = mTops.find(box.owner);
            if (found != mTops.end()) {
                owner = found->second.window;
            } else if (view.visible) {
                owner = Ensure(box.owner, view).window;
                mDirty = true;
            }
        }
        const int x = std::max(0, centreX - box.width / 2);
        const int y = std::max(0, centreY - box.height / 2);
        const Window window = XCreateSimpleWindow(mDisplay, mRoot, x, y, static_cast<unsigned>(box.width),
                                                  static_cast<unsigned>(box.height), 0, Pixel(kBlack), Pixel(kFace));
        FixSize(window, x, y, box.width, box.height);
        if (owner) XSetTransientForHint(mDisplay, window, owner);
        XSelectInput(mDisplay, window,
                     ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
        XSetWMProtocols(mDisplay, window, &mDeleteWindow, 1);
        SetTitle(window, box.caption);
        {
            std::lock_guard<std::mutex> lock(mMutex);
            box.window = window;
        }
        XMapRaised(mDisplay, window);
    }

    void DrawBox(Box& box) {
        constexpr int kMargin = 12;
        const Pixmap back = XCreatePixmap(mDisplay, box.window, static_cast<unsigned>(box.width),
                                          static_cast<unsigned>(box.height), static_cast<unsigned>(mDepth));
        Fill(back, kFace, 0, 0, box.width, box.height);
        // The stop sign: a red disc with a white cross.
        XSetForeground(mDisplay, mGc, Pixel(kStop));
        XFillArc(mDisplay, back, mGc, kMargin, kMargin, 32, 32, 0, 360 * 64);
        XSetForeground(mDisplay, mGc, Pixel(kBlack));
        XDrawArc(mDisplay, back, mGc, kMargin, kMargin, 31, 31, 0, 360 * 64);
        XSetForeground(mDisplay, mGc, Pixel(kHighlight));
        XSetLineAttributes(mDisplay, mGc, 3, LineSolid, CapRound, JoinRound);
        XDrawLine(mDisplay, back, mGc, kMargin + 10, kMargin + 10, kMargin + 21, kMargin + 21);
        XDrawLine(mDisplay, back, mGc, kMargin + 21, kMargin + 10, kMargin + 10, kMargin + 21);
        XSetLineAttributes(mDisplay, mGc, 0, LineSolid, CapButt, JoinMiter);

        const int lineHeight = mFont->ascent + mFont->descent;
        const int textHeight = lineHeight * static_cast<int>(box.lines.size());
        int y = kMargin + std::max(0, (32 - textHeight) / 2) + mFont->ascent;
        const RECT all{0, 0, box.width, box.height};
        for (const auto& line : box.lines) {
            Text(back, line, kMargin * 2 + 32, y, all, kBlack);
            y += lineHeight;
        }
        DrawPushButton(back, box.ok, "OK", box.pressed, true, true);
        XCopyArea(mDisplay, back, box.window, mGc, 0, 0, static_cast<unsigned>(box.width),
                  static_cast<unsigned>(box.height), 0, 0);
        XFreePixmap(mDisplay, back);
    }

    void HandleBox(Box& box, XEvent& event) {
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) DrawBox(box);
            break;
        case MapNotify:
            XSetInputFocus(mDisplay, box.window, RevertToParent, CurrentTime);
            break;
        case KeyPress:
            switch (XLookupKeysym(&event.xkey, 0)) {
            case XK_Return:
            case XK_KP_Enter:
            case XK_Escape:
            case XK_space:
                Answer(box);
                break;
            default:
                break;
            }
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1 && Inside(box.ok, event.xbutton.x, event.xbutton.y)) {
                box.armed = box.pressed = true;
                DrawBox(box);
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && box.armed) {
                box.armed = box.pressed = false;
                if (Inside(box.ok, event.xbutton.x, event.xbutton.y)) {
                    Answer(box);
                } else {
                    DrawBox(box);
                }
            }
            break;
        case ClientMessage:
            if (event.xclient.message_type == mProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == mDeleteWindow) {
                Answer(box);
            }
            break;
        default:
            break;
        }
    }

    // OK: the box goes, its caller goes on, and the owner has the keyboard again.
    void Answer(Box& box) {
        const Window window = box.window;
        HWND owner = box.owner;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            box.answered = true;
            mBoxes.erase(std::remove_if(mBoxes.begin(), mBoxes.end(),
                                        [&](const auto& entry) { return entry.get() == &box; }),
                         mBoxes.end());
        }
        mAnswered.notify_all();
        XDestroyWindow(mDisplay, window);
        auto found = mTops.find(owner);
        if (found != mTops.end() && found->second.mapped && !AnyBoxShown())
            XSetInputFocus(mDisplay, found->second.window, RevertToParent, CurrentTime);
        mDirty = true;
    }

    Display* mDisplay;
    XFontStruct* mFont;
    int mScreen = 0;
    Visual* mVisual = nullptr;
    int mDepth = 0;
    Colormap mColormap = 0;
    Window mRoot = 0;
    GC mGc = nullptr;
    Atom mProtocols = 0;
    Atom mDeleteWindow = 0;
    Atom mNetName = 0;
    Atom mNetIcon = 0;
    Atom mUtf8 = 0;
    std::map<std::uint32_t, unsigned long> mColours; // for visuals without fixed colour masks

    // Display thread only.
    std::map<HWND, Top> mTops;
    HWND mPressed = nullptr;      // where the left button went down
    HWND mPressedTop = nullptr;
    POINT mPressedOrigin{};       // that control's top-left in its window

    std::mutex mMutex;            // guards mBoxes and each box's answered flag
    std::condition_variable mAnswered;
    std::vector<std::shared_ptr<Box>> mBoxes;

    std::atomic<bool> mDirty{true};
    std::atomic<bool> mWakePending{false};
    std::atomic<bool> mStop{false};
    int mWake[2] = {-1, -1};
    std::thread mThread;
};

} // namespace

std::unique_ptr<Backend> OpenX11Display() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    XFontStruct* font = XLoadQueryFont(display, "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso8859-1");
    if (!font) font = XLoadQueryFont(display, "fixed");
    if (!font) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11Backend>(display, font);
}

} // namespace platform::display
