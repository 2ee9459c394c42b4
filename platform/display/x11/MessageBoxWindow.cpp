#include "platform/display/x11/MessageBoxWindow.h"

#include <X11/keysym.h>

#include <algorithm>

namespace platform::display::x11 {
namespace {

constexpr int kMargin = 12;
constexpr int kIcon = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kMaxTextWidth = 480;
constexpr int kMinWidth = 160;

} // namespace

std::vector<std::string> WrapText(const Painter& paint, const std::string& text, int width) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(at, end - at);
        at = end + 1;
        const std::string joined = line.empty() ? word : line + " " + word;
        if (paint.TextWidth(joined) <= width) {
            line = joined;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line.clear();
        // A word wider than a line is cut between characters, never inside one's UTF-8 bytes.
        const auto nextCharacter = [&word](std::size_t from) {
            do ++from;
            while (from < word.size() && (static_cast<unsigned char>(word[from]) & 0xC0) == 0x80);
            return from;
        };
        while (paint.TextWidth(word) > width && nextCharacter(0) < word.size()) {
            std::size_t fits = nextCharacter(0);
            while (fits < word.size() && paint.TextWidth(word.substr(0, nextCharacter(fits))) <= width)
                fits = nextCharacter(fits);
            lines.push_back(word.substr(0, fits));
            word.erase(0, fits);
        }
        line = word;
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

MessageBoxWindow::MessageBoxWindow(Painter& paint, TopWindowHints& hints, const std::string& text,
                                   const std::string& caption, Window owner, POINT centre)
    : mPaint(paint), mHints(hints), mLines(WrapText(paint, text, kMaxTextWidth)) {
    int textWidth = 0;
    for (const auto& line : mLines) textWidth = std::max(textWidth, paint.TextWidth(line));
    const int textHeight = paint.LineHeight() * static_cast<int>(mLines.size());
    mWidth = std::max({kMargin * 3 + kIcon + textWidth + kMargin, kButtonWidth + 2 * kMargin, kMinWidth});
    mHeight = kMargin + std::max(kIcon, textHeight) + kMargin + kButtonHeight + kMargin;
    const int okLeft = (mWidth - kButtonWidth) / 2;
    const int okTop = mHeight - kMargin - kButtonHeight;
    mOk = RECT{okLeft, okTop, okLeft + kButtonWidth, okTop + kButtonHeight};

    const int x = std::max(0, static_cast<int>(centre.x) - mWidth / 2);
    const int y = std::max(0, static_cast<int>(centre.y) - mHeight / 2);
    mWindow = hints.Create(RECT{x, y, x + mWidth, y + mHeight}, paint.Pixel(kFace));
    if (owner) XSetTransientForHint(paint.Connection(), mWindow, owner);
    hints.SetTitle(mWindow, caption);
    XMapRaised(paint.Connection(), mWindow);
}

MessageBoxWindow::~MessageBoxWindow() {
    XDestroyWindow(mPaint.Connection(), mWindow);
}

void MessageBoxWindow::Draw() {
    Display* display = mPaint.Connection();
    GC gc = mPaint.Context();
    const Pixmap back = XCreatePixmap(display, mWindow, static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight),
                                      static_cast<unsigned>(mPaint.Depth()));
    mPaint.Fill(back, kFace, 0, 0, mWidth, mHeight);
    // The stop sign: a red disc with a white cross.
    XSetForeground(display, gc, mPaint.Pixel(kStop));
    XFillArc(display, back, gc, kMargin, kMargin, kIcon, kIcon, 0, 360 * 64);
    XSetForeground(display, gc, mPaint.Pixel(kBlack));
    XDrawArc(display, back, gc, kMargin, kMargin, kIcon - 1, kIcon - 1, 0, 360 * 64);
    XSetForeground(display, gc, mPaint.Pixel(kHighlight));
    XSetLineAttributes(display, gc, 3, LineSolid, CapRound, JoinRound);
    XDrawLine(display, back, gc, kMargin + 10, kMargin + 10, kMargin + 21, kMargin + 21);
    XDrawLine(display, back, gc, kMargin + 21, kMargin + 10, kMargin + 10, kMargin + 21);
    XSetLineAttributes(display, gc, 0, LineSolid, CapButt, JoinMiter);

    const int lineHeight = mPaint.LineHeight();
    const int textHeight = lineHeight * static_cast<int>(mLines.size());
    int y = kMargin + std::max(0, (kIcon - textHeight) / 2) + mPaint.Ascent();
    const RECT all{0, 0, mWidth, mHeight};
    for (const auto& line : mLines) {
        mPaint.Text(back, line, kMargin * 2 + kIcon, y, all, kBlack);
        y += lineHeight;
    }
    mPaint.PushButton(back, mOk, "OK", mPressed, true, true);
    XCopyArea(display, back, mWindow, gc, 0, 0, static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight), 0, 0);
    XFreePixmap(display, back);
}

bool MessageBoxWindow::Answers(const XEvent& event) {
    if (mHints.IsCloseRequest(event)) return true;
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0) Draw();
        return false;
    case MapNotify:
        XSetInputFocus(mPaint.Connection(), mWindow, RevertToParent, CurrentTime);
        return false;
    case KeyPress: {
        XKeyEvent key = event.xkey;
        switch (XLookupKeysym(&key, 0)) {
        case XK_Return:
        case XK_KP_Enter:
        case XK_Escape:
        case XK_space: return true;
        default: return false;
        }
    }
    case ButtonPress:
        if (event.xbutton.button == Button1 && Inside(mOk, event.xbutton.x, event.xbutton.y)) {
            mPressed = true;
            Draw();
        }
        return false;
    case ButtonRelease:
        if (event.xbutton.button != Button1 || !mPressed) return false;
        mPressed = false;
        // Released outside OK: the press is taken back.
        if (Inside(mOk, event.xbutton.x, event.xbutton.y)) return true;
        Draw();
        return false;
    default: return false;
    }
}

} // namespace platform::display::x11
