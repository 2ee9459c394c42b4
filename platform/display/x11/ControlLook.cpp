#include "platform/display/x11/ControlLook.h"

#include "platform/controls/Controls.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WinMessages.h"
#include "platform/display/DisplayText.h"
#include "platform/runtime/SameName.h"

#include <algorithm>
#include <string>

namespace platform::display::x11 {
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
