#include "platform/display/x11/Painter.h"

#include "platform/controls/Controls.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WinMessages.h"
#include "platform/display/DisplayText.h"
#include "platform/runtime/SameName.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <string>

namespace platform::display::x11 {

RECT Inset(const RECT& r, int by) {
    return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

bool Inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

Painter::Painter(Display* display, XFontStruct* font) : mDisplay(display), mFont(font) {
    const int screen = DefaultScreen(display);
    mVisual = DefaultVisual(display, screen);
    mDepth = DefaultDepth(display, screen);
    mColormap = DefaultColormap(display, screen);
    mGc = XCreateGC(display, RootWindow(display, screen), 0, nullptr);
    XSetFont(display, mGc, font->fid);
}

Painter::~Painter() {
    XFreeGC(mDisplay, mGc);
    XFreeFont(mDisplay, mFont);
}

unsigned long Painter::Pixel(std::uint32_t rgb) {
    if (mVisual->c_class == TrueColor || mVisual->c_class == DirectColor) {
        return Channel((rgb >> 16) & 0xFF, mVisual->red_mask) | Channel((rgb >> 8) & 0xFF, mVisual->green_mask) |
               Channel(rgb & 0xFF, mVisual->blue_mask);
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

// An 8-bit channel value scaled to the width of its mask and moved into place.
unsigned long Painter::Channel(std::uint32_t value, unsigned long mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::countr_one(mask >> shift);
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                           : static_cast<unsigned long>(value) >> (8 - bits);
    return (scaled << shift) & mask;
}

void Painter::Fill(Drawable target, std::uint32_t rgb, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return;
    XSetForeground(mDisplay, mGc, Pixel(rgb));
    XFillRectangle(mDisplay, target, mGc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void Painter::Fill(Drawable target, std::uint32_t rgb, const RECT& r) {
    Fill(target, rgb, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void Painter::Line(Drawable target, std::uint32_t rgb, int x1, int y1, int x2, int y2) {
    XSetForeground(mDisplay, mGc, Pixel(rgb));
    XDrawLine(mDisplay, target, mGc, x1, y1, x2, y2);
}

void Painter::Edge(Drawable target, const RECT& r, std::uint32_t topLeft, std::uint32_t bottomRight) {
    if (r.right - r.left < 1 || r.bottom - r.top < 1) return;
    Line(target, topLeft, r.left, r.top, r.right - 2, r.top);
    Line(target, topLeft, r.left, r.top, r.left, r.bottom - 2);
    Line(target, bottomRight, r.left, r.bottom - 1, r.right - 1, r.bottom - 1);
    Line(target, bottomRight, r.right - 1, r.top, r.right - 1, r.bottom - 1);
}

void Painter::Clip(const RECT& r) {
    XRectangle area{static_cast<short>(r.left), static_cast<short>(r.top),
                    static_cast<unsigned short>(std::max(0L, static_cast<long>(r.right - r.left))),
                    static_cast<unsigned short>(std::max(0L, static_cast<long>(r.bottom - r.top)))};
    XSetClipRectangles(mDisplay, mGc, 0, 0, &area, 1, Unsorted);
}

void Painter::Unclip() {
    XSetClipMask(mDisplay, mGc, None);
}

bool Painter::HasGlyph(char32_t c) const {
    if (c > 0xFFFF) return false;
    const unsigned row = c >> 8, column = c & 0xFF;
    if (row < mFont->min_byte1 || row > mFont->max_byte1 || column < mFont->min_char_or_byte2 ||
        column > mFont->max_char_or_byte2)
        return false;
    if (!mFont->per_char) return true;
    const unsigned columns = mFont->max_char_or_byte2 - mFont->min_char_or_byte2 + 1;
    const XCharStruct& glyph =
        mFont->per_char[(row - mFont->min_byte1) * columns + (column - mFont->min_char_or_byte2)];
    // A code the font has no glyph for has all its metrics zero.
    return glyph.width != 0 || glyph.ascent != 0 || glyph.descent != 0 || glyph.lbearing != 0 || glyph.rbearing != 0;
}

XChar2b Painter::Code(char32_t c) const {
    if (!HasGlyph(c)) c = HasGlyph(kReplacement) ? kReplacement : U'?';
    return XChar2b{static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c & 0xFF)};
}

std::vector<XChar2b> Painter::Codes(const std::string& text) const {
    std::vector<XChar2b> codes;
    for (char32_t c : DisplayCharacters(text)) codes.push_back(Code(c));
    return codes;
}

int Painter::TextWidth(const std::string& text) const {
    const std::vector<XChar2b> codes = Codes(text);
    return XTextWidth16(mFont, codes.data(), static_cast<int>(codes.size()));
}

int Painter::CharacterWidth(char32_t c) const {
    const XChar2b code = Code(c);
    return XTextWidth16(mFont, &code, 1);
}

void Painter::Text(Drawable target, const std::string& text, int x, int y, const RECT& clip, std::uint32_t rgb) {
    const std::vector<XChar2b> codes = Codes(text);
    Clip(clip);
    XSetForeground(mDisplay, mGc, Pixel(rgb));
    XDrawString16(mDisplay, target, mGc, x, y, codes.data(), static_cast<int>(codes.size()));
    Unclip();
}

void Painter::TextOf(Drawable target, const std::string& text, int x, int y, const RECT& clip, bool enabled) {
    if (enabled) {
        Text(target, text, x, y, clip, kBlack);
    } else {
        Text(target, text, x + 1, y + 1, clip, kHighlight);
        Text(target, text, x, y, clip, kShadow);
    }
}

int Painter::CentredBaseline(const RECT& r) const {
    return r.top + (r.bottom - r.top - LineHeight()) / 2 + mFont->ascent;
}

void Painter::PutPixels(Drawable target, const SurfaceView& surface, int x, int y, int w, int h) {
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
    // Neighbouring pixels mostly share a colour: look each run's pixel value up once.
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

void Painter::PushButton(Drawable target, const RECT& rect, const std::string& text, bool pushed, bool focused,
                         bool enabled) {
    Fill(target, kFace, rect);
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
    if (!focused) return;
    // The focus mark: a dotted rectangle inside the edges.
    const RECT mark = Inset(rect, 4);
    if (mark.right - mark.left <= 1 || mark.bottom - mark.top <= 1) return;
    char dots[2] = {1, 1};
    XSetDashes(mDisplay, mGc, 0, dots, 2);
    XSetLineAttributes(mDisplay, mGc, 0, LineOnOffDash, CapButt, JoinMiter);
    XSetForeground(mDisplay, mGc, Pixel(kBlack));
    XDrawRectangle(mDisplay, target, mGc, mark.left, mark.top, static_cast<unsigned>(mark.right - mark.left - 1),
                   static_cast<unsigned>(mark.bottom - mark.top - 1));
    XSetLineAttributes(mDisplay, mGc, 0, LineSolid, CapButt, JoinMiter);
}

namespace {

// The text a static shows in `width` pixels. A sunken left-aligned static is a field holding a
// value, such as the name of the file being written: when the value does not fit, its end is
// what tells it apart (the file, not the folders every name shares), so that is what is shown,
// behind an ellipsis. Other texts are cut at the control's edge.
std::string Shown(const Painter& paint, const WindowView& view, int width) {
    if (!(view.style & SS_SUNKEN) || (view.style & SS_TYPEMASK) != SS_LEFT) return view.text;
    const std::u32string shown = KeepEnd(DisplayCharacters(view.text), width, U"\u2026",
                                         [&paint](char32_t c) { return paint.CharacterWidth(c); });
    return EncodeUtf8(shown);
}

void DrawStatic(Painter& paint, Drawable target, const WindowView& view) {
    RECT inner = view.rect;
    if (view.style & SS_SUNKEN) {
        paint.Edge(target, inner, kShadow, kHighlight);
        inner = Inset(inner, 1);
    }
    switch (view.style & SS_TYPEMASK) {
    case SS_BLACKFRAME: paint.Frame(target, inner, kBlack); return;
    case SS_GRAYFRAME: paint.Frame(target, inner, kShadow); return;
    case SS_WHITEFRAME: paint.Frame(target, inner, kHighlight); return;
    case SS_BLACKRECT: paint.Fill(target, kBlack, inner); return;
    case SS_GRAYRECT: paint.Fill(target, kShadow, inner); return;
    case SS_WHITERECT: paint.Fill(target, kHighlight, inner); return;
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: {
        if (view.text.empty()) return;
        const std::string text = Shown(paint, view, inner.right - inner.left);
        const int width = paint.TextWidth(text);
        int x = inner.left;
        if ((view.style & SS_TYPEMASK) == SS_RIGHT) x = inner.right - width;
        if ((view.style & SS_TYPEMASK) == SS_CENTER) x = inner.left + (inner.right - inner.left - width) / 2;
        paint.TextOf(target, text, x, inner.top + paint.Ascent(), inner, view.enabled);
        return;
    }
    default: return;
    }
}

// The bar fills with whole blocks, left to right, as far as the position has come.
void DrawProgress(Painter& paint, Drawable target, const WindowView& view) {
    RECT inner = view.rect;
    if (view.style & WS_BORDER) {
        paint.Frame(target, inner, kBlack);
    } else {
        paint.Edge(target, inner, kShadow, kHighlight);
    }
    inner = Inset(inner, 1);
    paint.Fill(target, kFace, inner);
    inner = Inset(inner, 1);
    const int width = inner.right - inner.left;
    const int height = inner.bottom - inner.top;
    if (width <= 0 || height <= 0 || view.rangeHigh <= view.rangeLow) return;
    const long long done =
        static_cast<long long>(view.position - view.rangeLow) * width / (view.rangeHigh - view.rangeLow);
    const int block = std::max(2, height * 2 / 3);
    paint.Clip(inner);
    for (int x = 0; x < done; x += block + 2) paint.Fill(target, kBar, inner.left + x, inner.top, block, height);
    paint.Unclip();
}

} // namespace

void DrawControl(Painter& paint, Drawable target, const WindowView& view) {
    const char* name = view.className.c_str();
    if (SameName(name, "static")) {
        DrawStatic(paint, target, view);
    } else if (SameName(name, "button")) {
        paint.PushButton(target, view.rect, view.text, view.pushed, view.focused, view.enabled);
    } else if (SameName(name, PROGRESS_CLASSA)) {
        DrawProgress(paint, target, view);
    }
}

} // namespace platform::display::x11
