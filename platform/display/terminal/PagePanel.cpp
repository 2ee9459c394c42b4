#include "platform/display/terminal/PagePanel.h"

#include "platform/display/DisplayText.h"
#include "platform/display/terminal/CellWidth.h"
#include "platform/display/terminal/TextRows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace platform::display::terminal {
namespace {

// The share of a picture's width its illustration takes; the words stand to its right.
constexpr int kIllustrationPercent = 32;
// The narrowest area that shows the illustration beside the words.
constexpr int kColumnsForIllustration = 60;

struct Source {
    int x0, y0, x1, y1;   // a rectangle of the picture, in pixels
};

// The average colour of the picture's pixels in [x0, x1) x [y0, y1), clipped to the picture.
std::int32_t Average(const SurfaceView& picture, double x0, double y0, double x1, double y1) {
    const int left = std::clamp(static_cast<int>(x0), 0, picture.width - 1);
    const int top = std::clamp(static_cast<int>(y0), 0, picture.height - 1);
    const int right = std::clamp(static_cast<int>(x1 + 0.999), left + 1, picture.width);
    const int bottom = std::clamp(static_cast<int>(y1 + 0.999), top + 1, picture.height);
    std::uint64_t r = 0, g = 0, b = 0, n = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::uint32_t p = picture.At(x, y);
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
            ++n;
        }
    }
    return static_cast<std::int32_t>(((r / n) << 16) | ((g / n) << 8) | (b / n));
}

// `from` of the picture scaled to columns x rows cells: two pixel rows to a cell with half
// blocks (the upper colour in front, the lower behind), else one pixel row to a cell.
void Picture(CellFrame& frame, int left, int top, int columns, int rows, const SurfaceView& picture, Source from,
             bool halfBlocks) {
    const double sx = static_cast<double>(from.x1 - from.x0) / columns;
    const double sy = static_cast<double>(from.y1 - from.y0) / (halfBlocks ? rows * 2 : rows);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const double x0 = from.x0 + x * sx, x1 = from.x0 + (x + 1) * sx;
            if (halfBlocks) {
                const std::int32_t upper = Average(picture, x0, from.y0 + 2 * y * sy, x1, from.y0 + (2 * y + 1) * sy);
                const std::int32_t lower = Average(picture, x0, from.y0 + (2 * y + 1) * sy, x1, from.y0 + (2 * y + 2) * sy);
                frame.Put(left + x, top + y, "\u2580", upper, lower);
            } else {
                frame.Put(left + x, top + y, " ", kDefaultColour,
                          Average(picture, x0, from.y0 + y * sy, x1, from.y0 + (y + 1) * sy));
            }
        }
    }
}

std::int32_t Blend(std::int32_t a, std::int32_t b, double t) {
    std::int32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= static_cast<std::int32_t>(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
}

class PageWriter {
public:
    PageWriter(CellFrame& frame, const PageText& page, const Look& look, int left, int top, int columns, int rows)
        : mFrame(frame), mPage(page), mLook(look), mLeft(left), mTop(top), mColumns(columns), mRows(rows) {}

    // The page's background over the whole area: its two colours blended from the top left to
    // the bottom right, as the picture's own background runs.
    void Backdrop() {
        for (int y = 0; y < mRows; ++y)
            for (int x = 0; x < mColumns; ++x) mFrame.Put(mLeft + x, mTop + y, " ", kDefaultColour, Behind(mLeft + x, mTop + y));
    }

    // `units` from (column, row), each character on the backdrop behind it.
    void Write(int column, int row, const Units& units, std::int32_t colour, std::int32_t accent, std::uint8_t attributes) {
        for (std::size_t i = 0; i < units.size(); ++i) {
            std::u32string cluster(1, units[i].c);
            while (i + 1 < units.size() && CellWidth(units[i + 1].c) == 0) cluster += units[++i].c;
            const bool marked = units[i].marked;
            // Without colours a marked word stands out in bold, as it does in colour in the picture.
            const std::uint8_t look = marked && !mLook.colour ? static_cast<std::uint8_t>(attributes | kBold) : attributes;
            column += mFrame.Text(column, row, EncodeUtf8(cluster), mLook.colour ? (marked ? accent : colour) : kDefaultColour,
                                  Behind(column, row), look);
        }
    }

    std::int32_t Behind(int column, int row) const {
        if (!mLook.colour) return kDefaultColour;
        const double t = 0.35 * (column - mLeft) / std::max(mColumns - 1, 1) + 0.65 * (row - mTop) / std::max(mRows - 1, 1);
        return Blend(mPage.top, mPage.bottom, t);
    }

private:
    CellFrame& mFrame;
    const PageText& mPage;
    const Look& mLook;
    int mLeft, mTop, mColumns, mRows;
};

void DrawPage(CellFrame& frame, int left, int top, int columns, int rows, const WindowScene& scene, const Look& look) {
    const PageText& page = *scene.page;
    PageWriter writer(frame, page, look, left, top, columns, rows);
    writer.Backdrop();

    int textLeft = left + 1, textWidth = columns - 2;
    const SurfaceView& picture = scene.picture;
    if (look.colour && look.glyphs && columns >= kColumnsForIllustration && !picture.pixels.empty()) {
        // Half-block cells are about square: the illustration keeps its shape at the area's height.
        const int sourceWidth = picture.width * kIllustrationPercent / 100;
        const int wanted = static_cast<int>(std::lround(2.0 * rows * sourceWidth / picture.height));
        const int illustration = std::clamp(wanted, 1, columns / 3);
        Picture(frame, left, top, illustration, rows, picture, Source{0, 0, sourceWidth, picture.height}, true);
        textLeft = left + illustration + 2;
        textWidth = columns - illustration - 3;
    }
    if (textWidth <= 0) return;

    // The title, and the page's number at the right when both fit.
    const Units title = Marked(page.title, frame.Utf8());
    const Units number = Marked(page.number, frame.Utf8());
    const int titleWidth = std::min(WidthOf(title), textWidth);
    writer.Write(textLeft, top, Wrap(title, textWidth).front(), page.titleColour, page.titleColour, kBold);
    const int numberWidth = WidthOf(number);
    if (titleWidth + 2 + numberWidth <= textWidth)
        writer.Write(textLeft + textWidth - numberWidth, top, number, page.bodyColour, page.bodyColour, kDim);

    std::vector<Units> body;
    for (const std::string& line : page.lines)
        for (Units& row : Wrap(Marked(line, frame.Utf8()), textWidth)) body.push_back(std::move(row));
    int room = rows - 1;
    // Short of rows, the empty lines between paragraphs go first, then the gap under the title.
    if (static_cast<int>(body.size()) > room - 1)
        body.erase(std::remove_if(body.begin(), body.end(), [](const Units& row) { return row.empty(); }), body.end());
    const bool gap = static_cast<int>(body.size()) <= room - 1;
    if (gap) --room;
    if (room <= 0) return;
    const bool cut = static_cast<int>(body.size()) > room;
    if (cut) {
        body.resize(static_cast<std::size_t>(room));
        // The last row shown says that more follows.
        const Units ellipsis = Marked(frame.Utf8() ? "\u2026" : "...", true);
        Units& last = body.back();
        while (!last.empty() && WidthOf(last) + WidthOf(ellipsis) > textWidth) last.pop_back();
        last.insert(last.end(), ellipsis.begin(), ellipsis.end());
    }
    const int first = top + 1 + (gap ? 1 : 0);
    for (std::size_t i = 0; i < body.size(); ++i)
        writer.Write(textLeft, first + static_cast<int>(i), body[i], page.bodyColour, page.accent, 0);
}

} // namespace

void DrawPicturePanel(CellFrame& frame, int left, int top, int columns, int rows, const WindowScene& scene,
                      const Look& look) {
    if (columns <= 0 || rows <= 0) return;
    if (scene.page) return DrawPage(frame, left, top, columns, rows, scene, look);
    const SurfaceView& picture = scene.picture;
    if (look.colour && picture.width > 0 && picture.height > 0 && !picture.pixels.empty())
        return Picture(frame, left, top, columns, rows, picture, Source{0, 0, picture.width, picture.height}, look.glyphs);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) frame.Put(left + x, top + y, " ", kDefaultColour, kDefaultColour);
}

} // namespace platform::display::terminal
