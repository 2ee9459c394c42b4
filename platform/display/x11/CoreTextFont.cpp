// The classic core-font text: the fixed font's 16-bit codes, drawn by the server. Used where Xft
// finds no font; a character the font has no glyph for is its replacement mark (or '?').
#include "platform/display/x11/TextFont.h"

#include "platform/display/DisplayText.h"
#include "platform/display/x11/XLibraries.h"

#include <algorithm>
#include <vector>

namespace platform::display::x11 {
namespace {

class CoreTextFont : public TextFont {
public:
    CoreTextFont(Display* display, XFontStruct* font) : mDisplay(display), mFont(font) {}
    ~CoreTextFont() override { XFreeFont(mDisplay, mFont); }
    CoreTextFont(const CoreTextFont&) = delete;
    CoreTextFont& operator=(const CoreTextFont&) = delete;

    int Ascent() const override { return mFont->ascent; }
    int LineHeight() const override { return mFont->ascent + mFont->descent; }

    int Width(const std::u32string& text) override {
        const std::vector<XChar2b> codes = Codes(text);
        return XTextWidth16(mFont, codes.data(), static_cast<int>(codes.size()));
    }

    void Draw(Drawable target, GC gc, const std::u32string& text, int x, int y, const RECT& clip, std::uint32_t,
              unsigned long pixel) override {
        const std::vector<XChar2b> codes = Codes(text);
        XRectangle area{static_cast<short>(clip.left), static_cast<short>(clip.top),
                        static_cast<unsigned short>(std::max(0L, static_cast<long>(clip.right - clip.left))),
                        static_cast<unsigned short>(std::max(0L, static_cast<long>(clip.bottom - clip.top)))};
        XSetClipRectangles(mDisplay, gc, 0, 0, &area, 1, Unsorted);
        XSetFont(mDisplay, gc, mFont->fid);
        XSetForeground(mDisplay, gc, pixel);
        XDrawString16(mDisplay, target, gc, x, y, codes.data(), static_cast<int>(codes.size()));
        XSetClipMask(mDisplay, gc, None);
    }

private:
    bool HasGlyph(char32_t c) const {
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
        return glyph.width != 0 || glyph.ascent != 0 || glyph.descent != 0 || glyph.lbearing != 0 ||
               glyph.rbearing != 0;
    }

    std::vector<XChar2b> Codes(const std::u32string& text) const {
        std::vector<XChar2b> codes;
        for (char32_t c : text) {
            if (!HasGlyph(c)) c = HasGlyph(kReplacement) ? kReplacement : U'?';
            codes.push_back(XChar2b{static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c & 0xFF)});
        }
        return codes;
    }

    Display* mDisplay;
    XFontStruct* mFont;
};

} // namespace

std::unique_ptr<TextFont> OpenCoreFont(Display* display) {
    if (!LoadXLibraries()) return nullptr;
    // The classic fixed font in its ISO 10646 encoding has the characters of the Latin, Greek
    // and Cyrillic scripts and many more, at the metrics of the 8-bit one; the others are
    // fallbacks, which draw what they lack as '?'.
    XFontStruct* font = XLoadQueryFont(display, "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso10646-1");
    if (!font) font = XLoadQueryFont(display, "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso8859-1");
    if (!font) font = XLoadQueryFont(display, "fixed");
    if (!font) return nullptr;
    return std::make_unique<CoreTextFont>(display, font);
}

} // namespace platform::display::x11
