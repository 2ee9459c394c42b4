// Message boxes on X11: each a small window of its own over its owner, with the text wrapped to
// fit, a stop sign and OK.
#include "platform/display/x11/X11Backend.h"

#include "platform/display/DisplayText.h"
#include "platform/display/x11/XWindow.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WinMessages.h"

#include <algorithm>
#include <iterator>

namespace platform::display::x11 {
namespace {

// How long an answered box waits at most for its caller to enable the owner again.
constexpr auto kClosingLimit = std::chrono::milliseconds(500);
// A message box's layout.
constexpr int kMargin = 12;
constexpr int kIcon = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kMaxTextWidth = 480;
constexpr int kMinWidth = 160;

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

} // namespace

std::shared_ptr<Box> X11Backend::BoxOf(Window window) {
    std::lock_guard<std::mutex> lock(mMutex);
    for (auto& box : mBoxes)
        if (box->window == window) return box;
    return nullptr;
}

bool X11Backend::AnyBoxShown() {
    std::lock_guard<std::mutex> lock(mMutex);
    return std::any_of(mBoxes.begin(), mBoxes.end(), [](const auto& box) { return box->window != 0; });
}

void X11Backend::ServeBoxes() {
    std::vector<std::shared_ptr<Box>> waiting;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        std::copy_if(mBoxes.begin(), mBoxes.end(), std::back_inserter(waiting),
                     [](const auto& box) { return !box->window; });
    }
    for (auto& box : waiting) OpenBox(*box);
}

RECT X11Backend::ScreenRect(Window window) {
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

void X11Backend::OpenBox(Box& box) {
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

void X11Backend::DrawBox(const Box& box) {
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

bool X11Backend::Answers(Box& box, const XEvent& event) {
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

void X11Backend::Answer(const std::shared_ptr<Box>& box) {
    box->limit = Clock::now() + kClosingLimit;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        box->answered = true;
        std::erase(mBoxes, box);
    }
    mAnswered.notify_all();
    mClosing.push_back(box);
}

void X11Backend::FinishClosingBoxes() {
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

} // namespace platform::display::x11
