// Drawing on one X connection in the classic look: colours given as 0xRRGGBB, edges, text in
// the display's font cut at a rectangle, the program's pixels, the push button every window of
// the display shares, and the controls of the model. One painter belongs to the display thread
// alone.
//
// Texts are bytes, read as UTF-8 (DisplayCharacters) and drawn in the display's TextFont; a
// byte that is not UTF-8 shows as the replacement character.
//
// Everything is drawn at a whole scale (`unit` screen pixels for each pixel of the model): the
// rectangles it is given are the screen's, already scaled, while edges, insets and the focus
// mark grow by the unit, and the program's pixels are repeated unit x unit times.
//
//     x11::Painter paint(display, std::move(font), 2);
//     paint.Fill(pixmap, x11::kFace, RECT{0, 0, width, height});
//     paint.PushButton(pixmap, rect, "OK", false, true, true);
#pragma once

#include "platform/display/DisplayText.h"
#include "platform/display/x11/TextFont.h"
#include "platform/user/Model.h"
#include "platform/runtime/WinTypes.h"
#include "platform/display/x11/XLibraries.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace platform::display::x11 {

// The classic colours, 0xRRGGBB.
constexpr std::uint32_t kFace = 0xC0C0C0;
constexpr std::uint32_t kShadow = 0x808080;
constexpr std::uint32_t kHighlight = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kBar = 0x000080;
constexpr std::uint32_t kStop = 0xE00000;

inline RECT Inset(const RECT& r, int by) {
    return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

// Whether (x, y) lies in r, its right and bottom edges excluded.
inline bool Inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

class Painter {
public:
    // Takes over `font`; both are freed with the painter, the display stays open.
    Painter(Display* display, std::unique_ptr<TextFont> font, int unit)
        : mDisplay(display), mFont(std::move(font)), mUnit(unit) {}
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    GC Context() const { return mGc; }
    int Depth() const { return mDepth; }
    int Unit() const { return mUnit; }
    int LineHeight() const { return mFont->LineHeight(); }
    int Ascent() const { return mFont->Ascent(); }

    // The pixel value of an 0xRRGGBB colour on this screen.
    unsigned long Pixel(std::uint32_t rgb);

    void Fill(Drawable target, std::uint32_t rgb, const RECT& r);

    // An edge one unit wide around r: `topLeft` on the top and left sides, `bottomRight` on the
    // others, which take the corners they share with the first.
    void Edge(Drawable target, const RECT& r, std::uint32_t topLeft, std::uint32_t bottomRight);
    void Frame(Drawable target, const RECT& r, std::uint32_t rgb) { Edge(target, r, rgb, rgb); }

    void Clip(const RECT& r);
    void Unclip() { XSetClipMask(mDisplay, mGc, None); }

    int TextWidth(const std::string& text) const { return mFont->Width(DisplayCharacters(text)); }

    // Text at baseline y, cut at the edges of `clip`.
    void Text(Drawable target, const std::string& text, int x, int y, const RECT& clip, std::uint32_t rgb);

    // Black text, or grey with a white shadow as disabled controls show it.
    void TextOf(Drawable target, const std::string& text, int x, int y, const RECT& clip, bool enabled);

    // The pixels of 0x00RRGGBB at (x, y), each a unit x unit square (the nearest neighbour's
    // scaling), at most w x h screen pixels of them.
    void PutPixels(Drawable target, const SurfaceView& surface, int x, int y, int w, int h);

    void PushButton(Drawable target, const RECT& rect, const std::string& text, bool pushed, bool focused,
                    bool enabled);

    // A control of the model: statics (frames, filled rectangles, sunken edges and text cut at
    // the control's edge), push buttons and the segmented progress bar. Other classes draw
    // nothing of their own.
    void Control(Drawable target, const WindowView& view);

private:
    // An 8-bit channel value scaled to the width of its mask and moved into place.
    static unsigned long Channel(std::uint32_t value, unsigned long mask);

    // The text a static shows in `width` pixels. A sunken left-aligned static is a field holding a
    // value, such as the name of the file being written: when the value does not fit, its end is
    // what tells it apart (the file, not the folders every name shares), so that is what is shown,
    // behind an ellipsis. Other texts are cut at the control's edge.
    std::string Shown(const WindowView& view, int width) const;

    void Static(Drawable target, const WindowView& view);

    // The bar fills with whole blocks, left to right, as far as the position has come.
    void Progress(Drawable target, const WindowView& view);

    Display* mDisplay;
    std::unique_ptr<TextFont> mFont;
    int mUnit;                     // screen pixels for each pixel of the model
    Visual* mVisual = DefaultVisual(mDisplay, DefaultScreen(mDisplay));
    int mDepth = DefaultDepth(mDisplay, DefaultScreen(mDisplay));
    Colormap mColormap = DefaultColormap(mDisplay, DefaultScreen(mDisplay));
    GC mGc = XCreateGC(mDisplay, DefaultRootWindow(mDisplay), 0, nullptr);
    std::map<std::uint32_t, unsigned long> mColours;   // for visuals without fixed colour masks
};

} // namespace platform::display::x11
