// The font the X11 display draws its texts in. Two kinds stand behind one interface:
//
//  - XftTextFont: a 10-point sans serif that fontconfig chooses (DejaVu Sans where installed),
//    anti-aliased, drawn through the X Render extension; a character the font lacks is drawn
//    in the font fontconfig names for it (CJK names, say), as a replacement mark only when no
//    installed font has it.
//  - CoreTextFont: the server's classic fixed bitmap font in its ISO 10646 encoding, for a
//    server or a machine where Xft finds no font; what it lacks is its replacement mark.
//
// Texts come as characters (DisplayCharacters has turned the bytes into them); positions and
// widths are the screen's pixels. A font belongs to the display thread, like its painter.
//
//     std::unique_ptr<x11::TextFont> font = x11::OpenXftFont(display, 192.0);
//     if (!font) font = x11::OpenCoreFont(display);
//     font->Draw(pixmap, gc, U"Bänder", x, y + font->Ascent(), clip, 0x000000, black);
#pragma once

#include "platform/runtime/WinTypes.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <string>

namespace platform::display::x11 {

class TextFont {
public:
    virtual ~TextFont() = default;
    virtual int Ascent() const = 0;
    virtual int LineHeight() const = 0;
    // The advance of the text, in pixels.
    virtual int Width(const std::u32string& text) = 0;
    // The text at baseline y, cut at `clip`, in the colour 0xRRGGBB whose pixel value on this
    // screen is `pixel`. `gc` is the painter's context: its foreground and clip may change.
    virtual void Draw(Drawable target, GC gc, const std::u32string& text, int x, int y, const RECT& clip,
                      std::uint32_t rgb, unsigned long pixel) = 0;
};

// The sans serif at 10 points on a screen of `dpi` dots per inch; null when Xft is not built in
// or finds no font, or the server lacks the Render extension.
std::unique_ptr<TextFont> OpenXftFont(Display* display, double dpi);

// The classic fixed font (or any core font the server has); null when the server has none.
std::unique_ptr<TextFont> OpenCoreFont(Display* display);

} // namespace platform::display::x11
