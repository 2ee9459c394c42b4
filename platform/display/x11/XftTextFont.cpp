// Text through Xft and fontconfig: the sans serif fontconfig prefers at 10 points, anti-aliased.
// A character the font lacks is looked up once: fontconfig names the best installed font that
// has it (the same family's preferences, with the character required), which then joins the
// fonts tried for later characters, so a CJK folder name costs one look-up per font it needs,
// not per character. A character no font has is drawn as the replacement mark.
#include "platform/display/x11/TextFont.h"

#if DUDEZ_HAVE_XFT
#include "platform/display/DisplayText.h"
#include "platform/display/x11/XLibraries.h"

#include <X11/Xft/Xft.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace platform::display::x11 {
namespace {

// The pattern every font of the display is chosen by; fontconfig's own and the user's rules
// (and Xft's X resources: hinting, sub-pixel order) are applied on top of it when one is matched.
FcPattern* BasePattern(double dpi) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddDouble(pattern, FC_SIZE, 10.0);
    FcPatternAddDouble(pattern, FC_DPI, dpi);
    FcPatternAddBool(pattern, FC_ANTIALIAS, FcTrue);
    return pattern;
}

// The font fontconfig matches for `wanted` (which it leaves alone), opened; null when none.
XftFont* OpenMatch(Display* display, const FcPattern* wanted) {
    FcPattern* pattern = FcPatternDuplicate(wanted);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    XftDefaultSubstitute(display, DefaultScreen(display), pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return nullptr;
    // The opened font owns the match; a font that cannot be opened leaves it to us.
    XftFont* font = XftFontOpenPattern(display, match);
    if (!font) FcPatternDestroy(match);
    return font;
}

class XftTextFont : public TextFont {
public:
    XftTextFont(Display* display, FcPattern* base, XftFont* primary)
        : mDisplay(display), mBase(base), mFonts{primary} {}
    ~XftTextFont() override {
        for (XftFont* font : mFonts) XftFontClose(mDisplay, font);
        FcPatternDestroy(mBase);
    }
    XftTextFont(const XftTextFont&) = delete;
    XftTextFont& operator=(const XftTextFont&) = delete;

    int Ascent() const override { return mFonts.front()->ascent; }
    int LineHeight() const override { return mFonts.front()->ascent + mFonts.front()->descent; }

    int Width(const std::u32string& text) override {
        int width = 0;
        for (const Run& run : Runs(text)) width += Advance(run);
        return width;
    }

    void Draw(Drawable target, GC, const std::u32string& text, int x, int y, const RECT& clip, std::uint32_t rgb,
              unsigned long) override {
        const int screen = DefaultScreen(mDisplay);
        Visual* visual = DefaultVisual(mDisplay, screen);
        const Colormap colormap = DefaultColormap(mDisplay, screen);
        XftDraw* draw = XftDrawCreate(mDisplay, target, visual, colormap);
        if (!draw) return;
        XRectangle area{static_cast<short>(clip.left), static_cast<short>(clip.top),
                        static_cast<unsigned short>(std::max(0L, static_cast<long>(clip.right - clip.left))),
                        static_cast<unsigned short>(std::max(0L, static_cast<long>(clip.bottom - clip.top)))};
        XftDrawSetClipRectangles(draw, 0, 0, &area, 1);
        // X levels run to 65535: 0xFF becomes 0xFFFF.
        const auto level = [rgb](int shift) { return static_cast<unsigned short>(((rgb >> shift) & 0xFF) * 257); };
        const XRenderColor wanted{level(16), level(8), level(0), 0xFFFF};
        XftColor colour;
        if (XftColorAllocValue(mDisplay, visual, colormap, &wanted, &colour)) {
            for (const Run& run : Runs(text)) {
                XftDrawString32(draw, &colour, run.font, x, y, reinterpret_cast<const FcChar32*>(run.text.data()),
                                static_cast<int>(run.text.size()));
                x += Advance(run);
            }
            XftColorFree(mDisplay, visual, colormap, &colour);
        }
        XftDrawDestroy(draw);
    }

private:
    // Characters drawn in one font, one after another.
    struct Run {
        XftFont* font;
        std::u32string text;
    };

    int Advance(const Run& run) const {
        XGlyphInfo extents;
        XftTextExtents32(mDisplay, run.font, reinterpret_cast<const FcChar32*>(run.text.data()),
                         static_cast<int>(run.text.size()), &extents);
        return extents.xOff;
    }

    // The first font that has `c`, asking fontconfig for one when none of those open has it;
    // null when no installed font has it.
    XftFont* FontFor(char32_t c) {
        for (XftFont* font : mFonts)
            if (XftCharExists(mDisplay, font, c)) return font;
        if (mNowhere.count(c)) return nullptr;
        FcPattern* wanted = FcPatternDuplicate(mBase);
        FcCharSet* characters = FcCharSetCreate();
        FcCharSetAddChar(characters, c);
        FcPatternAddCharSet(wanted, FC_CHARSET, characters);
        FcCharSetDestroy(characters);
        XftFont* font = OpenMatch(mDisplay, wanted);
        FcPatternDestroy(wanted);
        // The best match may still lack it: fontconfig always names some font.
        if (font && XftCharExists(mDisplay, font, c)) {
            mFonts.push_back(font);
            return font;
        }
        if (font) XftFontClose(mDisplay, font);
        mNowhere.insert(c);
        return nullptr;
    }

    std::vector<Run> Runs(const std::u32string& text) {
        std::vector<Run> runs;
        for (char32_t c : text) {
            XftFont* font = FontFor(c);
            if (!font) {
                c = kReplacement;
                font = FontFor(c);
            }
            if (!font) {
                c = U'?';
                font = mFonts.front();
            }
            if (runs.empty() || runs.back().font != font) runs.push_back(Run{font, {}});
            runs.back().text += c;
        }
        return runs;
    }

    Display* mDisplay;
    FcPattern* mBase;               // what each font is matched from
    std::vector<XftFont*> mFonts;   // the chosen font first, then those found for its gaps
    std::set<char32_t> mNowhere;    // characters no installed font has
};

} // namespace

std::unique_ptr<TextFont> OpenXftFont(Display* display, double dpi) {
    if (!HaveXft()) return nullptr;
    FcPattern* base = BasePattern(dpi);
    XftFont* font = OpenMatch(display, base);
    if (!font) {
        FcPatternDestroy(base);
        return nullptr;
    }
    return std::make_unique<XftTextFont>(display, base, font);
}

} // namespace platform::display::x11

#else
// Built without Xft: the display draws with the core fonts.
std::unique_ptr<platform::display::x11::TextFont> platform::display::x11::OpenXftFont(Display*, double) {
    return nullptr;
}
#endif
