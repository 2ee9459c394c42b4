#include "platform/display/x11/Painter.h"

#include "platform/controls/Controls.h"
#include "platform/display/DisplayText.h"
#include "platform/runtime/SameName.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WinMessages.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <utility>

namespace platform::display::x11 {

Painter::~Painter() {
    mFont.reset();
    XFreeGC(mDisplay, mGc);
}

unsigned long Painter::Pixel(std::uint32_t rgb) {
    if (mVisual->c_class == TrueColor || mVisual->c_class == DirectColor) {
        return Channel((rgb >> 16) & 0xFF, mVisual->red_mask) | Channel((rgb >> 8) & 0xFF, mVisual->green_mask) |
               Channel(rgb & 0xFF, mVisual->blue_mask);
    }
    auto found = mColours.find(rgb);
    if (found != mColours.end()) return found->second;
    // X levels run to 65535: 0xFF becomes 0xFFFF.
    const auto level = [rgb](int shift) { return static_cast<unsigned short>(((rgb >> shift) & 0xFF) * 257); };
    XColor colour{0, level(16), level(8), level(0), DoRed | DoGreen | DoBlue, 0};
    const unsigned long pixel = XAllocColor(mDisplay, mColormap, &colour) ? colour.pixel : 0;
    mColours.emplace(rgb, pixel);
    return pixel;
}

void Painter::Fill(Drawable target, std::uint32_t rgb, const RECT& r) {
    if (r.right - r.left <= 0 || r.bottom - r.top <= 0) return;
    XSetForeground(mDisplay, mGc, Pixel(rgb));
    XFillRectangle(mDisplay, target, mGc, r.left, r.top, static_cast<unsigned>(r.right - r.left),
                   static_cast<unsigned>(r.bottom - r.top));
}

void Painter::Edge(Drawable target, const RECT& r, std::uint32_t topLeft, std::uint32_t bottomRight) {
    const int u = mUnit;
    if (r.right - r.left < u || r.bottom - r.top < u) return;
    Fill(target, topLeft, RECT{r.left, r.top, r.right - u, r.top + u});
    Fill(target, topLeft, RECT{r.left, r.top, r.left + u, r.bottom - u});
    Fill(target, bottomRight, RECT{r.left, r.bottom - u, r.right, r.bottom});
    Fill(target, bottomRight, RECT{r.right - u, r.top, r.right, r.bottom});
}

void Painter::Clip(const RECT& r) {
    XRectangle area{static_cast<short>(r.left), static_cast<short>(r.top),
                    static_cast<unsigned short>(std::max(0L, static_cast<long>(r.right - r.left))),
                    static_cast<unsigned short>(std::max(0L, static_cast<long>(r.bottom - r.top)))};
    XSetClipRectangles(mDisplay, mGc, 0, 0, &area, 1, Unsorted);
}

void Painter::Text(Drawable target, const std::string& text, int x, int y, const RECT& clip, std::uint32_t rgb) {
    mFont->Draw(target, mGc, DisplayCharacters(text), x, y, clip, rgb, Pixel(rgb));
}

void Painter::TextOf(Drawable target, const std::string& text, int x, int y, const RECT& clip, bool enabled) {
    if (!enabled) Text(target, text, x + mUnit, y + mUnit, clip, kHighlight);
    Text(target, text, x, y, clip, enabled ? kBlack : kShadow);
}

void Painter::PutPixels(Drawable target, const SurfaceView& surface, int x, int y, int w, int h) {
    w = std::min(w, surface.width * mUnit);
    h = std::min(h, surface.height * mUnit);
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
    // Neighbouring pixels mostly share a colour: look each run's pixel value up once.
    std::uint32_t lastRgb = 0xFFFFFFFFu;
    unsigned long lastPixel = 0;
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const std::uint32_t rgb = surface.At(column / mUnit, row / mUnit);
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

void Painter::PushButton(Drawable target, const RECT& rect, const std::string& text, bool pushed, bool focused,
                         bool enabled) {
    Fill(target, kFace, rect);
    RECT r = rect;
    if (focused || pushed) {
        Frame(target, r, kBlack);
        r = Inset(r, mUnit);
    }
    if (pushed) {
        Frame(target, r, kShadow);
    } else {
        Edge(target, r, kHighlight, kBlack);
        Edge(target, Inset(r, mUnit), kFace, kShadow);
    }
    const int offset = pushed ? mUnit : 0;
    const int x = rect.left + (rect.right - rect.left - TextWidth(text)) / 2 + offset;
    // The baseline that centres one line of text between the button's top and bottom.
    const int baseline = rect.top + (rect.bottom - rect.top - LineHeight()) / 2 + Ascent();
    TextOf(target, text, x, baseline + offset, Inset(rect, 2 * mUnit), enabled);
    if (!focused) return;
    // The focus mark: a dotted rectangle inside the edges, its dots and line a unit wide
    // (a line of width 1 is Xlib's thin line, as 0 would be).
    const int u = mUnit;
    const RECT mark = Inset(rect, 4 * u);
    if (mark.right - mark.left <= u || mark.bottom - mark.top <= u) return;
    char dots[2] = {static_cast<char>(u), static_cast<char>(u)};
    XSetDashes(mDisplay, mGc, 0, dots, 2);
    XSetLineAttributes(mDisplay, mGc, u > 1 ? static_cast<unsigned>(u) : 0, LineOnOffDash, CapButt, JoinMiter);
    XSetForeground(mDisplay, mGc, Pixel(kBlack));
    // A wide line is centred on its path: the path runs half a unit inside the mark.
    const int half = u / 2;
    XDrawRectangle(mDisplay, target, mGc, mark.left + half, mark.top + half,
                   static_cast<unsigned>(mark.right - mark.left - u), static_cast<unsigned>(mark.bottom - mark.top - u));
    XSetLineAttributes(mDisplay, mGc, 0, LineSolid, CapButt, JoinMiter);
}

void Painter::Control(Drawable target, const WindowView& view) {
    const char* name = view.className.c_str();
    if (SameName(name, "static")) {
        Static(target, view);
    } else if (SameName(name, "button")) {
        PushButton(target, view.rect, view.text, view.pushed, view.focused, view.enabled);
    } else if (SameName(name, PROGRESS_CLASSA)) {
        Progress(target, view);
    }
}

unsigned long Painter::Channel(std::uint32_t value, unsigned long mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::countr_one(mask >> shift);
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                           : static_cast<unsigned long>(value) >> (8 - bits);
    return (scaled << shift) & mask;
}

std::string Painter::Shown(const WindowView& view, int width) const {
    if (!(view.style & SS_SUNKEN) || (view.style & SS_TYPEMASK) != SS_LEFT) return view.text;
    // A character is as wide as this font draws it (its replacement when it lacks it).
    const std::u32string shown = KeepEnd(DisplayCharacters(view.text), width, U"\u2026",
                                         [this](char32_t c) { return mFont->Width(std::u32string(1, c)); });
    return EncodeUtf8(shown);
}

void Painter::Static(Drawable target, const WindowView& view) {
    RECT inner = view.rect;
    if (view.style & SS_SUNKEN) {
        Edge(target, inner, kShadow, kHighlight);
        inner = Inset(inner, mUnit);
    }
    // The filled rectangles and the frames each run black, grey, white.
    constexpr std::uint32_t kShades[] = {kBlack, kShadow, kHighlight};
    const DWORD kind = view.style & SS_TYPEMASK;
    if (kind >= SS_BLACKRECT && kind <= SS_WHITERECT) {
        Fill(target, kShades[kind - SS_BLACKRECT], inner);
    } else if (kind >= SS_BLACKFRAME && kind <= SS_WHITEFRAME) {
        Frame(target, inner, kShades[kind - SS_BLACKFRAME]);
    } else if ((kind <= SS_RIGHT || kind == SS_SIMPLE || kind == SS_LEFTNOWORDWRAP) && !view.text.empty()) {
        const std::string text = Shown(view, inner.right - inner.left);
        const int width = TextWidth(text);
        int x = inner.left;
        if (kind == SS_RIGHT) x = inner.right - width;
        if (kind == SS_CENTER) x = inner.left + (inner.right - inner.left - width) / 2;
        TextOf(target, text, x, inner.top + Ascent(), inner, view.enabled);
    }
}

void Painter::Progress(Drawable target, const WindowView& view) {
    RECT inner = view.rect;
    const bool border = (view.style & WS_BORDER) != 0;
    Edge(target, inner, border ? kBlack : kShadow, border ? kBlack : kHighlight);
    inner = Inset(inner, mUnit);
    Fill(target, kFace, inner);
    inner = Inset(inner, mUnit);
    const int width = inner.right - inner.left;
    const int height = inner.bottom - inner.top;
    if (width <= 0 || height <= 0 || view.rangeHigh <= view.rangeLow) return;
    const long long done =
        static_cast<long long>(view.position - view.rangeLow) * width / (view.rangeHigh - view.rangeLow);
    const int block = std::max(2 * mUnit, height * 2 / 3);
    Clip(inner);
    for (int x = 0; x < done; x += block + 2 * mUnit)
        Fill(target, kBar, RECT{inner.left + x, inner.top, inner.left + x + block, inner.bottom});
    Unclip();
}

} // namespace platform::display::x11
