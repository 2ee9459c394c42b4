// The X11 display: one thread owns the connection, draws the model when it has changed (at most
// about 30 frames a second) and turns the server's events into input messages. How controls look
// is in x11/Painter.
//
// When the server goes away the program ends as if its window had been closed (see
// LoseConnection): Xlib would otherwise end it on the spot, skipping the report and the removal
// of the unfinished output.
#include "platform/display/X11Display.h"

#include "platform/display/DisplayLoop.h"
#include "platform/display/DisplayText.h"
#include "platform/image/Dib.h"
#include "platform/resources/Resources.h"
#include "platform/user/Input.h"
#include "platform/user/UserIcons.h"
#include "platform/user/Model.h"
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WinMessages.h"
#include "platform/display/x11/Painter.h"
#include "platform/display/x11/ScreenScale.h"
#include "platform/display/x11/TextFont.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"
#include "platform/runtime/ByteOrder.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace platform::display {
namespace {

// How long an answered box waits at most for its caller to enable the owner again.
constexpr auto kClosingLimit = std::chrono::milliseconds(500);
// How often a box that is closing looks whether its owner is enabled yet.
constexpr int kClosingPollMs = 2;
// A message box's layout.
constexpr int kMargin = 12;
constexpr int kIcon = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kMaxTextWidth = 480;
constexpr int kMinWidth = 160;

// The keys the window model knows (Escape, Return, the arrows, Page Up and Down, Space, Tab) by
// their X key symbols; any other key is not passed on.
constexpr std::pair<KeySym, UINT> kKeys[] = {
    {XK_Escape, VK_ESCAPE}, {XK_Return, VK_RETURN}, {XK_KP_Enter, VK_RETURN}, {XK_Left, VK_LEFT},
    {XK_KP_Left, VK_LEFT},  {XK_Right, VK_RIGHT},   {XK_KP_Right, VK_RIGHT},  {XK_Up, VK_UP},
    {XK_Down, VK_DOWN},     {XK_Prior, VK_PRIOR},   {XK_KP_Prior, VK_PRIOR},  {XK_Next, VK_NEXT},
    {XK_KP_Next, VK_NEXT},  {XK_space, VK_SPACE},   {XK_Tab, VK_TAB},         {XK_ISO_Left_Tab, VK_TAB}};

UINT VirtualKey(XKeyEvent key) {
    const KeySym symbol = XLookupKeysym(&key, 0);
    const auto known = std::find_if(std::begin(kKeys), std::end(kKeys),
                                    [&](const auto& entry) { return entry.first == symbol; });
    return known == std::end(kKeys) ? 0 : known->second;
}

// The window's class; null when the window is gone. A class record never changes once
// registered, so it is read without the model lock.
std::shared_ptr<const user::WindowClass> ClassOf(HWND window) {
    user::ModelLock lock(user::ModelMutex());
    const user::Window* record = user::Find(window);
    return record ? record->windowClass : nullptr;
}

// The colour a window class's background brush stands for: a system colour number plus one.
std::uint32_t BackgroundColour(HWND window) {
    const auto windowClass = ClassOf(window);
    switch (windowClass ? reinterpret_cast<std::uintptr_t>(windowClass->background) : 0) {
    case 6: return 0xFFFFFF;      // the window colour
    case 9: return x11::kBlack;   // the window frame
    default: return x11::kFace;   // menu, button face, dialog: the light grey
    }
}

using byteorder::LE16;

// One icon image resource (header, colour table, colour bits, mask) as the window manager wants
// an icon: its width, its height, then its pixels as 0xAARRGGBB, rows from the top. Empty for
// anything it does not understand or that is cut short. Format 32 properties travel as longs on
// the client side, whatever their size.
std::vector<unsigned long> DecodeIconImage(const unsigned char* bytes, std::size_t size) {
    if (!bytes || size < 40) return {};
    image::DibHeader header = image::ReadDibHeader(bytes);
    // The height counts the colour bits and the mask together.
    const std::int32_t doubleHeight = header.height;
    if (header.size < 40 || header.size > size || header.width <= 0 || header.width > 256 || doubleHeight <= 0 ||
        doubleHeight > 512 || header.compression != 0 || (header.bits != 1 && header.bits != 4 && header.bits != 8)) {
        return {};
    }
    const int width = header.width;
    const int height = doubleHeight / 2;
    header.height = height;
    image::DibHeader maskHeader = header;
    maskHeader.bits = 1;
    const std::size_t colours = header.TableEntries();
    const std::size_t pixelsAt = header.PixelsOffset();
    const std::size_t maskAt = pixelsAt + header.PixelBytes();
    if (maskAt + maskHeader.PixelBytes() > size) return {};
    const image::DibRows colourRows(header, bytes + pixelsAt);
    const image::DibRows maskRows(maskHeader, bytes + maskAt);

    std::vector<unsigned long> data{static_cast<unsigned long>(width), static_cast<unsigned long>(height)};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = colourRows.Row(y);
        const std::uint8_t* mask = maskRows.Row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t index = colourRows.Index(row, x);
            const bool transparent = maskRows.Index(mask, x) != 0;
            std::uint32_t argb = 0;
            if (!transparent && index < colours)
                argb = 0xFF000000u | image::DibQuadColour(bytes + header.size + 4u * index);
            data.push_back(argb);
        }
    }
    return data;
}

// The image of the icon group behind `icon`, its images looked up in `instance`: the one closest
// to 32 x 32 with the most colours.
std::vector<unsigned long> LoadIconImage(HICON icon, HINSTANCE instance) {
    const unsigned char* group = nullptr;
    std::size_t size = 0;
    if (!IconGroupData(icon, &group, &size) || size < 6) return {};
    const std::size_t count = LE16(group + 4);
    // Entries: width, height, colours, reserved, planes, bits per pixel, bytes, id (14 bytes).
    int bestId = -1;
    long bestScore = 0;
    for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= size; ++i) {
        const unsigned char* entry = group + 6 + 14 * i;
        const int width = entry[0] ? entry[0] : 256;
        const long score = 1000L - 10L * std::abs(width - 32) + static_cast<long>(LE16(entry + 6));
        if (bestId < 0 || score > bestScore) {
            bestId = static_cast<int>(LE16(entry + 12));
            bestScore = score;
        }
    }
    if (bestId < 0) return {};
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCE(bestId), RT_ICON);
    if (!found) return {};
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    return DecodeIconImage(bytes, SizeofResource(instance, found));
}

// What the display tells the window manager about its top-level X windows: the fixed size (and
// for a message box its place), the title, the icon, the close protocol and
// the window class. Xlib keeps the atoms it has interned, so a name is asked of the server once.
Atom AtomOf(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

// A new, unmapped top-level window of the rectangle's size, which the window manager may not
// resize, that takes the events the display handles and asks to be told of the close rather
// than be killed. Only when `placed` does it ask for the rectangle's place: a main window asks
// for none, so the window manager places it as it places any new window (four copies started
// at once do not open on top of each other).
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

// The icon group's image as the window's icon; nothing when it cannot be read (a null icon is
// no icon group's).
void SetIcon(Display* display, Window window, HICON icon, HINSTANCE instance) {
    const std::vector<unsigned long> data = LoadIconImage(icon, instance);
    if (data.empty()) return;
    XChangeProperty(display, window, AtomOf(display, "_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

// Whether the event is the window manager's request to close a window.
bool IsCloseRequest(Display* display, const XEvent& event) {
    return event.type == ClientMessage && event.xclient.message_type == AtomOf(display, "WM_PROTOCOLS") &&
           static_cast<Atom>(event.xclient.data.l[0]) == AtomOf(display, "WM_DELETE_WINDOW");
}

// The text wrapped to lines no wider than `width` pixels (DisplayText.h: WrapRows), measured
// as the painter draws them; a word is broken between characters, never inside one's UTF-8 bytes.
std::vector<std::string> WrapText(const x11::Painter& paint, const std::string& text, int width) {
    std::vector<std::size_t> starts;   // where each character's bytes begin, and the end
    for (std::size_t at = 0; at < text.size(); ++at)
        if (at == 0 || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) starts.push_back(at);
    const std::size_t count = starts.size();
    starts.push_back(text.size());
    const auto bytes = [&](std::size_t start, std::size_t end) {
        return text.substr(starts[start], starts[end] - starts[start]);
    };
    std::vector<std::string> lines;
    for (const RowSpan row : WrapRows(
             count, [&](std::size_t start, std::size_t end) { return paint.TextWidth(bytes(start, end)) <= width; },
             [&](std::size_t at) { return text[starts[at]] == ' '; }))
        lines.push_back(bytes(row.start, row.end));
    return lines;
}

// A message box; shared by the caller's thread and the display thread. On the screen it is a
// small fixed-size window over its owner (transient for it, when it has one) with a stop sign,
// the text wrapped to fit, and an OK button; Return, Escape, Space, a click on OK or the window
// manager's close answer it. Once answered it stays on the screen until its caller has enabled
// the owner again: were it gone at once, keys typed in that moment would reach a disabled window
// and be lost without anything on the screen to show why.
struct Box {
    std::string text;
    std::string caption;
    HWND owner = nullptr;
    bool answered = false;      // under the backend's mutex
    // The display thread's alone.
    Window window = 0;          // 0 until shown
    int width = 0;
    int height = 0;
    std::vector<std::string> lines{};
    RECT ok{};
    bool pressed = false;       // the mouse went down on OK: shown pressed until it comes up
    Clock::time_point limit{};  // answered: the longest it waits for its owner
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

// A rectangle of the model in the screen's pixels, at `unit` pixels for each of the model's.
RECT Scaled(const RECT& r, int unit) {
    return RECT{r.left * unit, r.top * unit, r.right * unit, r.bottom * unit};
}

// A screen coordinate in the model's pixels, rounded down (a release left of a control stays
// left of it).
int Unscaled(int coordinate, int unit) {
    return coordinate >= 0 ? coordinate / unit : -((-coordinate + unit - 1) / unit);
}

class X11Backend : public Backend, DisplayLoop::Client {
public:
    X11Backend(Display* display, std::unique_ptr<x11::TextFont> font, int unit)
        : mDisplay(display), mUnit(unit), mPaint(std::make_unique<x11::Painter>(display, std::move(font), unit)) {
        sLive.store(this);
        mThread = std::thread([this] {
            mLoop.Run(*this);
            std::lock_guard<std::mutex> lock(mMutex);
            mRunEnded = true;
            mAnswered.notify_all();
        });
    }

    ~X11Backend() override {
        mStop = true;
        mLoop.Wake();
        // A thread parked in LoseConnection never returns: waiting to join it would hang.
        std::unique_lock<std::mutex> lock(mMutex);
        mAnswered.wait(lock, [&] { return mRunEnded || mLost; });
        const bool lost = mLost;
        lock.unlock();
        if (lost) {
            mThread.detach();
        } else {
            mThread.join();
        }
        sLive.store(nullptr);
        LetCallersGo(false);
        if (lost) {
            // Nothing may touch a dead connection: Xlib would call the handler again.
            (void)mPaint.release();
        } else {
            for (auto& [handle, top] : mTops) XFreePixmap(mDisplay, top.back);
            for (auto* boxes : {&mBoxes, &mClosing})
                for (auto& box : *boxes)
                    if (box->window) XDestroyWindow(mDisplay, box->window);
            // The connection is closed last, after everything made on it.
            mPaint.reset();
            XCloseDisplay(mDisplay);
        }
    }

    // Called by Xlib on the display thread (the only one that uses the connection) when the
    // server has gone. Xlib ends the process if this returns, so it never does: the program is
    // told to close its windows, exactly as if the user had closed them, and this thread waits
    // here until the process ends. Every box still waiting is let go, so its caller can go on to
    // the close.
    [[noreturn]] void LoseConnection() {
        std::fputs("dudez: the connection to the X display was lost; stopping\n", stderr);
        LetCallersGo(true);
        for (HWND handle : TopLevelWindows()) PostMessageA(handle, WM_CLOSE, 0, 0);
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) mParked.wait(lock);
    }

    static X11Backend* Live() { return sLive.load(); }


    void WindowChanged(HWND) override {
        mLoop.Invalidate();
    }

    bool ShowedDesktopWindow() const override { return mShowed; }

    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT) override {
        auto box = std::make_shared<Box>(Box{.text = text, .caption = caption, .owner = owner});
        std::unique_lock<std::mutex> lock(mMutex);
        mBoxes.push_back(box);
        lock.unlock();
        mLoop.Wake();
        lock.lock();
        mAnswered.wait(lock, [&] { return box->answered || mStop || mLost; });
        return IDOK;
    }

private:
    // Counts every box still waiting as answered, so its caller goes on; `lost` also marks the
    // server as gone.
    void LetCallersGo(bool lost) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (lost) mLost = true;
            for (auto& box : mBoxes) box->answered = true;
        }
        mAnswered.notify_all();
    }

    // --- the display thread's loop (DisplayLoop) -------------------------------------------------

    bool Stopping() override { return mStop; }

    // The server's events may have come in while the last ones were handled: they are taken
    // from Xlib's queue whatever the poll said.
    void Handle(short) override {
        while (XPending(mDisplay)) {
            XEvent event;
            XNextEvent(mDisplay, &event);
            Handle(event);
        }
        ServeBoxes();
        FinishClosingBoxes();
    }

    void Draw() override { DrawAll(); }

    int InputDescriptor() override { return ConnectionNumber(mDisplay); }

    // A box that is closing looks at its owner every few milliseconds.
    Clock::duration LongestWait(Clock::time_point) override {
        return mClosing.empty() ? Clock::duration(-1) : std::chrono::milliseconds(kClosingPollMs);
    }

    // What was drawn goes to the server; events Xlib read meanwhile are handled before a wait.
    bool ReadyToWait() override {
        XFlush(mDisplay);
        return !XPending(mDisplay);
    }

    // --- top-level windows ----------------------------------------------------------------------

    void DrawAll() {
        std::vector<HWND> shown;
        for (HWND handle : TopLevelWindows()) {
            WindowView view;
            if (!InspectWindow(handle, &view) || !view.visible || mDestroyedOutside.count(handle)) continue;
            shown.push_back(handle);
            Top& top = Ensure(handle, view);
            DrawTop(handle, top, view);
        }
        std::vector<HWND> gone;
        for (const auto& [handle, top] : mTops)
            if (std::find(shown.begin(), shown.end(), handle) == shown.end()) gone.push_back(handle);
        for (HWND handle : gone) {
            XDestroyWindow(mDisplay, mTops[handle].window);
            Forget(handle);
        }
    }

    // The X window of a top-level window is gone or going: its back pixmap and a press in it go too.
    void Forget(HWND handle) {
        XFreePixmap(mDisplay, mTops[handle].back);
        if (mPressedTop == handle) mPressed = nullptr;
        mTops.erase(handle);
    }

    Top& Ensure(HWND handle, const WindowView& view) {
        auto found = mTops.find(handle);
        if (found != mTops.end()) return found->second;
        Top top;
        top.width = std::max(1, static_cast<int>(view.rect.right - view.rect.left) * mUnit);
        top.height = std::max(1, static_cast<int>(view.rect.bottom - view.rect.top) * mUnit);
        top.window = MakeTopWindow(mDisplay, RECT{0, 0, top.width, top.height},
                                   mPaint->Pixel(BackgroundColour(handle)), false);
        top.back = XCreatePixmap(mDisplay, top.window, static_cast<unsigned>(top.width),
                                 static_cast<unsigned>(top.height), static_cast<unsigned>(mPaint->Depth()));
        if (const auto windowClass = ClassOf(handle))
            SetIcon(mDisplay, top.window, windowClass->icon, windowClass->instance);
        XMapWindow(mDisplay, top.window);
        return mTops.emplace(handle, top).first->second;
    }

    void DrawTop(HWND handle, Top& top, const WindowView& view) {
        if (top.title != view.text || top.title.empty()) {
            top.title = view.text;
            SetTitle(mDisplay, top.window, top.title);
        }
        mPaint->Fill(top.back, BackgroundColour(handle), RECT{0, 0, top.width, top.height});
        SurfaceView surface;
        if (view.painted && ReadSurface(handle, &surface)) mPaint->PutPixels(top.back, surface, 0, 0, top.width, top.height);
        for (HWND child : ChildWindows(handle)) {
            WindowView control;
            if (!InspectWindow(child, &control) || !control.visible) continue;
            control.rect = Scaled(control.rect, mUnit);
            mPaint->Control(top.back, control);
            // What the program drew into the control lies over its own look, cut at its edges.
            if (control.painted && ReadSurface(child, &surface)) {
                mPaint->PutPixels(top.back, surface, control.rect.left, control.rect.top,
                                 control.rect.right - control.rect.left, control.rect.bottom - control.rect.top);
            }
        }
        if (top.mapped) {
            XCopyArea(mDisplay, top.back, top.window, mPaint->Context(), 0, 0, static_cast<unsigned>(top.width),
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
        const auto hit = std::find_if(children.rbegin(), children.rend(), [&](HWND child) {
            WindowView view;
            return InspectWindow(child, &view) && view.visible && x11::Inside(view.rect, x, y);
        });
        return hit == children.rend() ? nullptr : *hit;
    }

    // --- events ---------------------------------------------------------------------------------

    void Handle(XEvent& event) {
        if (std::shared_ptr<Box> box = BoxOf(event.xany.window)) {
            if (Answers(*box, event)) Answer(box);
            return;
        }
        HWND handle = TopOf(event.xany.window);
        if (!handle) return;
        if (IsCloseRequest(mDisplay, event)) {
            PostMessageA(handle, WM_CLOSE, 0, 0);
            return;
        }
        Top& top = mTops[handle];
        switch (event.type) {
        case DestroyNotify:
            // Destroyed by someone else (the window manager, another client; our own windows
            // leave mTops before they go): the program ends as if it had been closed. The
            // window is neither drawn into nor made anew.
            Forget(handle);
            mDestroyedOutside.insert(handle);
            PostMessageA(handle, WM_CLOSE, 0, 0);
            break;
        case Expose:
            if (event.xexpose.count == 0) mLoop.MarkChanged();
            break;
        case MapNotify:
            top.mapped = true;
            mShowed = true;
            mLoop.MarkChanged();
            if (!AnyBoxShown()) XSetInputFocus(mDisplay, top.window, RevertToParent, CurrentTime);
            break;
        case UnmapNotify:
            top.mapped = false;
            break;
        case KeyPress:
            if (const UINT key = VirtualKey(event.xkey)) PostKeyPress(handle, key);
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1)
                Press(handle, Unscaled(event.xbutton.x, mUnit), Unscaled(event.xbutton.y, mUnit));
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && mPressed) {
                PostInput(mPressed, WM_LBUTTONUP, 0,
                          MAKELPARAM(Unscaled(event.xbutton.x, mUnit) - mPressedOrigin.x,
                                     Unscaled(event.xbutton.y, mUnit) - mPressedOrigin.y));
                mPressed = nullptr;
            }
            break;
        default:
            break;
        }
    }

    // The left button goes down on the control under it (or the window itself); the release
    // goes to the same one, in its own coordinates, wherever the mouse is by then. Each
    // coordinate is a signed 16-bit word, so a release outside the control stays outside.
    void Press(HWND handle, int x, int y) {
        HWND target = ControlAt(handle, x, y);
        mPressed = target ? target : handle;
        mPressedTop = handle;
        mPressedOrigin = {0, 0};
        WindowView view;
        if (target && InspectWindow(target, &view)) mPressedOrigin = {view.rect.left, view.rect.top};
        PostInput(mPressed, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x - mPressedOrigin.x, y - mPressedOrigin.y));
    }

    // --- message boxes --------------------------------------------------------------------------

    std::shared_ptr<Box> BoxOf(Window window) {
        std::lock_guard<std::mutex> lock(mMutex);
        for (auto& box : mBoxes)
            if (box->window == window) return box;
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
            std::copy_if(mBoxes.begin(), mBoxes.end(), std::back_inserter(waiting),
                         [](const auto& box) { return !box->window; });
        }
        for (auto& box : waiting) OpenBox(*box);
    }

    // Where the X window is on the screen, and its size; the screen itself when it is not there.
    RECT ScreenRect(Window window) {
        Window root = 0, child = 0;
        int x = 0, y = 0, rootX = 0, rootY = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        if (window && XGetGeometry(mDisplay, window, &root, &x, &y, &width, &height, &border, &depth) &&
            XTranslateCoordinates(mDisplay, window, root, 0, 0, &rootX, &rootY, &child)) {
            return RECT{rootX, rootY, rootX + static_cast<int>(width), rootY + static_cast<int>(height)};
        }
        return RECT{0, 0, DisplayWidth(mDisplay, DefaultScreen(mDisplay)),
                    DisplayHeight(mDisplay, DefaultScreen(mDisplay))};
    }

    // Makes and maps the box over the middle of its owner (where the window manager put it),
    // or of the screen.
    void OpenBox(Box& box) {
        Window owner = 0;
        WindowView view;
        if (box.owner && InspectWindow(box.owner, &view)) {
            // A box raised at once (the first file is bad) may come before the owner's first
            // frame: its X window is made now, so the box can name it as its owner.
            auto found = mTops.find(box.owner);
            if (found != mTops.end()) {
                owner = found->second.window;
            } else if (view.visible) {
                owner = Ensure(box.owner, view).window;
                mLoop.MarkChanged();
            }
        }
        const RECT over = ScreenRect(owner);
        const POINT centre{(over.left + over.right) / 2, (over.top + over.bottom) / 2};
        // The layout's sizes are the model's pixels; the text's are the screen's already.
        const int u = mUnit, margin = kMargin * u, icon = kIcon * u;
        const int buttonWidth = kButtonWidth * u, buttonHeight = kButtonHeight * u;
        box.lines = WrapText(*mPaint, box.text, kMaxTextWidth * u);
        int textWidth = 0;
        for (const auto& line : box.lines) textWidth = std::max(textWidth, mPaint->TextWidth(line));
        const int textHeight = mPaint->LineHeight() * static_cast<int>(box.lines.size());
        box.width = std::max({margin * 3 + icon + textWidth + margin, buttonWidth + 2 * margin, kMinWidth * u});
        box.height = margin + std::max(icon, textHeight) + margin + buttonHeight + margin;
        const int okLeft = (box.width - buttonWidth) / 2;
        const int okTop = box.height - margin - buttonHeight;
        box.ok = RECT{okLeft, okTop, okLeft + buttonWidth, okTop + buttonHeight};
        const int x = std::max(0, static_cast<int>(centre.x) - box.width / 2);
        const int y = std::max(0, static_cast<int>(centre.y) - box.height / 2);
        const Window window =
            MakeTopWindow(mDisplay, RECT{x, y, x + box.width, y + box.height}, mPaint->Pixel(x11::kFace), true);
        if (owner) XSetTransientForHint(mDisplay, window, owner);
        SetTitle(mDisplay, window, box.caption);
        XMapRaised(mDisplay, window);
        std::lock_guard<std::mutex> lock(mMutex);
        box.window = window;
    }

    void DrawBox(const Box& box) {
        GC gc = mPaint->Context();
        const Pixmap back = XCreatePixmap(mDisplay, box.window, static_cast<unsigned>(box.width),
                                          static_cast<unsigned>(box.height), static_cast<unsigned>(mPaint->Depth()));
        mPaint->Fill(back, x11::kFace, RECT{0, 0, box.width, box.height});
        // The stop sign: a red disc with a white cross.
        const int u = mUnit, margin = kMargin * u, icon = kIcon * u;
        const auto at = [&](int offset) { return margin + offset * u; };
        XSetForeground(mDisplay, gc, mPaint->Pixel(x11::kStop));
        XFillArc(mDisplay, back, gc, margin, margin, static_cast<unsigned>(icon), static_cast<unsigned>(icon), 0,
                 360 * 64);
        XSetForeground(mDisplay, gc, mPaint->Pixel(x11::kBlack));
        XSetLineAttributes(mDisplay, gc, u > 1 ? static_cast<unsigned>(u) : 0, LineSolid, CapButt, JoinMiter);
        XDrawArc(mDisplay, back, gc, margin + u / 2, margin + u / 2, static_cast<unsigned>(icon - u),
                 static_cast<unsigned>(icon - u), 0, 360 * 64);
        XSetForeground(mDisplay, gc, mPaint->Pixel(x11::kHighlight));
        XSetLineAttributes(mDisplay, gc, static_cast<unsigned>(3 * u), LineSolid, CapRound, JoinRound);
        XDrawLine(mDisplay, back, gc, at(10), at(10), at(21), at(21));
        XDrawLine(mDisplay, back, gc, at(21), at(10), at(10), at(21));
        XSetLineAttributes(mDisplay, gc, 0, LineSolid, CapButt, JoinMiter);

        const int lineHeight = mPaint->LineHeight();
        const int textHeight = lineHeight * static_cast<int>(box.lines.size());
        int y = margin + std::max(0, (icon - textHeight) / 2) + mPaint->Ascent();
        const RECT all{0, 0, box.width, box.height};
        for (const auto& line : box.lines) {
            mPaint->Text(back, line, margin * 2 + icon, y, all, x11::kBlack);
            y += lineHeight;
        }
        mPaint->PushButton(back, box.ok, "OK", box.pressed, true, true);
        XCopyArea(mDisplay, back, box.window, gc, 0, 0, static_cast<unsigned>(box.width),
                  static_cast<unsigned>(box.height), 0, 0);
        XFreePixmap(mDisplay, back);
    }

    // Takes one event of the box's window; true when it answers the box.
    bool Answers(Box& box, const XEvent& event) {
        if (IsCloseRequest(mDisplay, event)) return true;
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) DrawBox(box);
            return false;
        case MapNotify:
            XSetInputFocus(mDisplay, box.window, RevertToParent, CurrentTime);
            return false;
        case KeyPress: {
            const UINT key = VirtualKey(event.xkey);
            return key == VK_RETURN || key == VK_ESCAPE || key == VK_SPACE;
        }
        case ButtonPress:
            if (event.xbutton.button == Button1 && x11::Inside(box.ok, event.xbutton.x, event.xbutton.y)) {
                box.pressed = true;
                DrawBox(box);
            }
            return false;
        case ButtonRelease:
            if (event.xbutton.button != Button1 || !box.pressed) return false;
            box.pressed = false;
            // Released outside OK: the press is taken back.
            if (x11::Inside(box.ok, event.xbutton.x, event.xbutton.y)) return true;
            DrawBox(box);
            return false;
        default: return false;
        }
    }

    // OK: the caller goes on; the box goes once the caller has enabled its owner again.
    void Answer(const std::shared_ptr<Box>& box) {
        box->limit = Clock::now() + kClosingLimit;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            box->answered = true;
            std::erase(mBoxes, box);
        }
        mAnswered.notify_all();
        mClosing.push_back(box);
    }

    // Takes down the answered boxes whose owner takes input again (or is gone, or has waited
    // too long: a box over a box leaves its owner disabled), and gives the owner the keyboard.
    void FinishClosingBoxes() {
        const Clock::time_point now = Clock::now();
        for (auto it = mClosing.begin(); it != mClosing.end();) {
            const Box& box = **it;
            if (box.owner && IsWindowEnabled(box.owner) == FALSE && now < box.limit && IsWindow(box.owner)) {
                ++it;
                continue;
            }
            // The owner takes the keyboard before the box goes, so no key falls in between.
            auto found = mTops.find(box.owner);
            if (found != mTops.end() && found->second.mapped && !AnyBoxShown() && mClosing.size() == 1)
                XSetInputFocus(mDisplay, found->second.window, RevertToParent, CurrentTime);
            XDestroyWindow(mDisplay, box.window);
            it = mClosing.erase(it);
            mLoop.MarkChanged();
        }
    }

    Display* mDisplay;
    const int mUnit;                        // screen pixels for each pixel of the model
    std::unique_ptr<x11::Painter> mPaint;   // left unfreed when the connection is lost

    // Display thread only.
    std::map<HWND, Top> mTops;
    std::set<HWND> mDestroyedOutside;   // windows whose X window someone else destroyed
    HWND mPressed = nullptr;      // where the left button went down
    HWND mPressedTop = nullptr;
    POINT mPressedOrigin{};       // that control's top-left in its window

    std::mutex mMutex;            // guards mBoxes, each box's answered flag, mLost and mRunEnded
    std::condition_variable mAnswered;
    std::condition_variable mParked;    // never notified: the lost display thread waits on it
    bool mLost = false;           // the server has gone; the display thread is parked
    bool mRunEnded = false;       // the display thread has left Run
    std::vector<std::shared_ptr<Box>> mBoxes;
    std::vector<std::shared_ptr<Box>> mClosing;   // answered, still shown; display thread only

    std::atomic<bool> mShowed{false};   // a top-level window has been mapped
    std::atomic<bool> mStop{false};
    DisplayLoop mLoop;
    std::thread mThread;

    // The backend Xlib's connection handler reaches: there is one X connection at a time.
    static inline std::atomic<X11Backend*> sLive{nullptr};
};

// An X error is about a request that came too late: most often one on a window that someone else
// destroyed while it was on its way. Xlib's default handler would end the program there; the
// request is simply lost instead, and the window's end reaches the program as DestroyNotify.
int IgnoreLateRequest(Display*, XErrorEvent*) {
    return 0;
}

// The connection is gone (the server ended or was killed). Never returns.
int ConnectionLost(Display*) {
    if (X11Backend* backend = X11Backend::Live()) backend->LoseConnection();
    // Lost before the display thread ran: nothing is shown yet, and no window can be closed.
    std::fputs("dudez: the connection to the X display was lost\n", stderr);
    std::_Exit(1);
}

} // namespace

std::unique_ptr<Backend> OpenX11Display() {
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
    return std::make_unique<X11Backend>(display, std::move(font), unit);
}

} // namespace platform::display
