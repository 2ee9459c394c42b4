// Drawing on one X connection in the classic look: colours given as 0xRRGGBB, edges, text in
// the display's font cut at a rectangle, the program's pixels, the push button every window of
// the display shares, and the controls of the model. One painter belongs to the display thread
// alone.
//
// Texts are bytes, read as UTF-8 (DisplayCharacters) and drawn with the 16-bit text calls, so a
// font in ISO 10646 encoding shows the characters themselves; a character the font lacks, and
// a byte that is not UTF-8, shows as the font's replacement character (or '?').
//
//     x11::Painter paint(display, font);
//     paint.Fill(pixmap, x11::kFace, 0, 0, width, height);
//     paint.PushButton(pixmap, rect, "OK", false, true, true);
#pragma once

#include "platform/user/Model.h"
#include "platform/runtime/WinTypes.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform::display::x11 {

// The classic colours, 0xRRGGBB.
constexpr std::uint32_t kFace = 0xC0C0C0;
constexpr std::uint32_t kShadow = 0x808080;
constexpr std::uint32_t kHighlight = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kBar = 0x000080;
constexpr std::uint32_t kStop = 0xE00000;

RECT Inset(const RECT& r, int by);
// Whether (x, y) lies in r, its right and bottom edges excluded.
bool Inside(const RECT& r, int x, int y);

class Painter {
public:
    // Takes over `font`; both are freed with the painter, the display stays open.
    Painter(Display* display, XFontStruct* font);
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    Display* Connection() const { return mDisplay; }
    GC Context() const { return mGc; }
    int Depth() const { return mDepth; }
    int LineHeight() const { return mFont->ascent + mFont->descent; }
    int Ascent() const { return mFont->ascent; }

    // The pixel value of an 0xRRGGBB colour on this screen.
    unsigned long Pixel(std::uint32_t rgb);

    void Fill(Drawable target, std::uint32_t rgb, int x, int y, int w, int h);
    void Fill(Drawable target, std::uint32_t rgb, const RECT& r);
    void Line(Drawable target, std::uint32_t rgb, int x1, int y1, int x2, int y2);
    // A one-pixel edge around r: `topLeft` on the top and left sides, `bottomRight` on the others.
    void Edge(Drawable target, const RECT& r, std::uint32_t topLeft, std::uint32_t bottomRight);
    void Frame(Drawable target, const RECT& r, std::uint32_t rgb) { Edge(target, r, rgb, rgb); }

    void Clip(const RECT& r);
    void Unclip();

    int TextWidth(const std::string& text) const;
    // The width of one character as this font draws it (its replacement when it lacks it).
    int CharacterWidth(char32_t c) const;
    // Text at baseline y, cut at the edges of `clip`.
    void Text(Drawable target, const std::string& text, int x, int y, const RECT& clip, std::uint32_t rgb);
    // Black text, or grey with a white shadow as disabled controls show it.
    void TextOf(Drawable target, const std::string& text, int x, int y, const RECT& clip, bool enabled);
    // The baseline that centres one line of text between r's top and bottom.
    int CentredBaseline(const RECT& r) const;

    // Pixels of 0x00RRGGBB at (x, y), at most w x h of them.
    void PutPixels(Drawable target, const SurfaceView& surface, int x, int y, int w, int h);

    void PushButton(Drawable target, const RECT& rect, const std::string& text, bool pushed, bool focused,
                    bool enabled);

private:
    static unsigned long Channel(std::uint32_t value, unsigned long mask);
    bool HasGlyph(char32_t c) const;
    // The font's code for `c`, or for the replacement when the font has no glyph for it.
    XChar2b Code(char32_t c) const;
    std::vector<XChar2b> Codes(const std::string& text) const;

    Display* mDisplay;
    XFontStruct* mFont;
    Visual* mVisual = nullptr;
    int mDepth = 0;
    Colormap mColormap = 0;
    GC mGc = nullptr;
    std::map<std::uint32_t, unsigned long> mColours;   // for visuals without fixed colour masks
};

// A control of the model: statics (frames, filled rectangles, sunken edges and text cut at the
// control's edge), push buttons and the segmented progress bar. Other classes draw nothing of
// their own.
void DrawControl(Painter& paint, Drawable target, const WindowView& view);

} // namespace platform::display::x11
