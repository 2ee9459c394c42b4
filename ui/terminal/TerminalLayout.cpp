#include "ui/terminal/TerminalLayout.h"

#include "platform/display/DisplayText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ui::terminal {
namespace {

using namespace platform::display;
using namespace platform::display::terminal;

constexpr std::int32_t kTitleBackground = 0x000080;
constexpr std::int32_t kTitleText = 0xFFFFFF;
constexpr std::int32_t kBarColour = 0x3070D0;
// The window takes the terminal's width up to this; wider, the lines would be hard to follow.
constexpr int kWidestWindow = 120;
// The picture area's rows at most: a page's words take fewer, the rest would be empty.
constexpr int kTallestPicture = 16;
// From this width on the status line shares its row with Previous and Next, as in the window
// itself, and still leaves the file name some 50 cells; narrower, the name has a row of its own.
constexpr int kWideColumns = 88;
constexpr int kWideButton = 12;     // "[ Previous ]"
constexpr int kNarrowButton = 10;   // "[Previous]"

struct Glyphs {
    const char *horizontal, *vertical, *topLeft, *topRight, *bottomLeft, *bottomRight, *full, *light;
};
constexpr Glyphs kLines{"\u2500", "\u2502", "\u250C", "\u2510", "\u2514", "\u2518", "\u2588", "\u2591"};
constexpr Glyphs kAscii{"-", "|", "+", "+", "+", "+", "#", "-"};

// A box with a line around it and blank inside.
void Frame(CellFrame& frame, int left, int top, int width, int height, const Glyphs& g) {
    for (int y = 0; y < height; ++y) {
        const bool first = y == 0, last = y == height - 1;
        const char* const start = first ? g.topLeft : last ? g.bottomLeft : g.vertical;
        const char* const end = first ? g.topRight : last ? g.bottomRight : g.vertical;
        const char* const fill = first || last ? g.horizontal : " ";
        for (int x = 0; x < width; ++x)
            frame.Put(left + x, top + y, x == 0 ? start : x == width - 1 ? end : fill, kDefaultColour, kDefaultColour);
    }
}

// A caption across the top row of a box: white on blue, or in reverse without colours.
void CaptionBar(CellFrame& frame, int left, int top, int width, const std::string& caption, const Look& look) {
    const std::int32_t text = look.colour ? kTitleText : kDefaultColour;
    const std::int32_t back = look.colour ? kTitleBackground : kDefaultColour;
    const std::uint8_t attributes = look.colour ? kBold : kBold | kReverse;
    for (int x = left + 1; x < left + width - 1; ++x) frame.Put(x, top, " ", text, back, attributes);
    frame.Text(left + 2, top, caption, text, back, attributes, width - 4);
}

// " text " centred in brackets, or in >< when it has the focus.
void Button(CellFrame& frame, Layout& layout, int column, int row, int width, const ButtonScene& button, bool enabled) {
    Units label = Plain(button.text, frame.Utf8());
    while (!label.empty() && WidthOf(label) > width - 2) label.pop_back();
    const int padding = width - 2 - WidthOf(label);
    const bool marked = button.focused && enabled;
    std::uint8_t attributes = enabled ? 0 : kDim;
    if (marked) attributes |= kBold;
    if (button.pushed || marked) attributes |= kReverse;
    // Appended piece by piece: GCC 12 at -O3 takes "[" + a string for an overlapping copy and,
    // with warnings as errors, stops the optimised build.
    std::string text(1, marked ? '>' : '[');
    text.append(static_cast<std::size_t>(padding / 2), ' ');
    text += Encode(label);
    text.append(static_cast<std::size_t>(padding - padding / 2), ' ');
    text += marked ? '<' : ']';
    frame.Text(column, row, text, kDefaultColour, kDefaultColour, attributes);
    layout.targets.push_back(Layout::Target{column, row, width, button.window, false});
}

// The file name in `width` cells: its end behind an ellipsis when the whole does not fit.
void FileName(CellFrame& frame, int column, int row, int width, const std::string& name) {
    const bool utf8 = frame.Utf8();
    const std::u32string shown = KeepEnd(Characters(name, utf8), width, utf8 ? U"\u2026" : U"...", CellWidth);
    frame.Text(column, row, EncodeUtf8(shown), kDefaultColour, kDefaultColour, 0, width);
}

// The total at the right end of [column, column + width).
void Total(CellFrame& frame, int column, int row, int width, const std::string& total) {
    const int shown = std::min(WidthOf(Plain(total, frame.Utf8())), width);
    frame.Text(column + width - shown, row, total, kDefaultColour, kDefaultColour, 0, shown);
}

// How far the bar has come, as `whole` parts of the whole.
long long Done(const WindowScene& scene, long long whole) {
    const long long span = static_cast<long long>(scene.rangeHigh) - scene.rangeLow;
    const long long done = std::clamp<long long>(static_cast<long long>(scene.position) - scene.rangeLow, 0, std::max(span, 0LL));
    return span > 0 ? done * whole / span : 0;
}

void Bar(CellFrame& frame, int column, int row, int width, const WindowScene& scene, const Glyphs& g) {
    const int filled = static_cast<int>(Done(scene, width));
    for (int x = 0; x < width; ++x) {
        if (x < filled) frame.Put(column + x, row, g.full, kBarColour, kDefaultColour);
        else frame.Put(column + x, row, g.light, kDefaultColour, kDefaultColour, kDim);
    }
}

// The width the total needs: room for any 32-bit count, less when the field is short.
int TotalWidth(const WindowScene& scene, const CellFrame& frame) {
    return std::max(8, WidthOf(Plain(scene.total, frame.Utf8())));
}

// Status and buttons of a wide window: the file name, the total, Previous and Next on one row,
// the bar and the finishing button on the next (the window's own arrangement).
void WideControls(CellFrame& frame, Layout& layout, int width, int row, const WindowScene& scene, const Glyphs& g) {
    const int nextColumn = width - 2 - kWideButton;
    const int previousColumn = nextColumn - kWideButton - 1;
    const int textWidth = previousColumn - 3;
    const int totalWidth = TotalWidth(scene, frame);
    FileName(frame, 2, row, textWidth - totalWidth - 1, scene.fileName);
    Total(frame, 2 + textWidth - totalWidth, row, totalWidth, scene.total);
    Bar(frame, 2, row + 1, textWidth, scene, g);
    Button(frame, layout, previousColumn, row, kWideButton, scene.previous, scene.enabled);
    Button(frame, layout, nextColumn, row, kWideButton, scene.next, scene.enabled);
    Button(frame, layout, nextColumn, row + 1, kWideButton, scene.finish, scene.enabled);
}

// Status and buttons of a narrow window: the file name across the whole width, the bar with the
// total at its end, and the three buttons in a row at the right.
void NarrowControls(CellFrame& frame, Layout& layout, int width, int row, const WindowScene& scene, const Glyphs& g) {
    const int textWidth = width - 4;
    FileName(frame, 2, row, textWidth, scene.fileName);
    const int totalWidth = std::min(TotalWidth(scene, frame), textWidth / 3);
    Bar(frame, 2, row + 1, textWidth - totalWidth - 1, scene, g);
    Total(frame, 2 + textWidth - totalWidth, row + 1, totalWidth, scene.total);
    // One cell between two buttons, and the last one ends a cell before the window's frame.
    const ButtonScene* buttons[] = {&scene.previous, &scene.next, &scene.finish};
    for (int i = 0; i < 3; ++i)
        Button(frame, layout, width - 1 - (3 - i) * (kNarrowButton + 1), row + 2, kNarrowButton, *buttons[i], scene.enabled);
}

// The share of a picture's width its illustration takes; the words stand to its right.
constexpr int kIllustrationPercent = 32;
// The narrowest area that shows the illustration beside the words.
constexpr int kColumnsForIllustration = 60;

// The average colour of the picture's pixels in [x0, x1) x [y0, y1), clipped to the picture.
std::int32_t Average(const SurfaceView& picture, double x0, double y0, double x1, double y1) {
    const int left = std::clamp(static_cast<int>(x0), 0, picture.width - 1);
    const int top = std::clamp(static_cast<int>(y0), 0, picture.height - 1);
    const int right = std::clamp(static_cast<int>(x1 + 0.999), left + 1, picture.width);
    const int bottom = std::clamp(static_cast<int>(y1 + 0.999), top + 1, picture.height);
    const auto n = static_cast<std::uint64_t>(right - left) * static_cast<std::uint64_t>(bottom - top);
    std::uint64_t r = 0, g = 0, b = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::uint32_t p = picture.At(x, y);
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
        }
    }
    return static_cast<std::int32_t>(((r / n) << 16) | ((g / n) << 8) | (b / n));
}

// The left `sourceWidth` pixels of the picture, its whole height, scaled to columns x rows cells:
// two pixel rows to a cell with half blocks (the upper colour in front, the lower behind), else
// one pixel row to a cell.
void Picture(CellFrame& frame, int left, int top, int columns, int rows, const SurfaceView& picture, int sourceWidth,
             bool halfBlocks) {
    const int perCell = halfBlocks ? 2 : 1;
    const double sx = static_cast<double>(sourceWidth) / columns;
    const double sy = static_cast<double>(picture.height) / (rows * perCell);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const double x0 = x * sx, x1 = (x + 1) * sx;
            const std::int32_t upper = Average(picture, x0, perCell * y * sy, x1, (perCell * y + 1) * sy);
            if (halfBlocks)
                frame.Put(left + x, top + y, "\u2580", upper, Average(picture, x0, (2 * y + 1) * sy, x1, (2 * y + 2) * sy));
            else
                frame.Put(left + x, top + y, " ", kDefaultColour, upper);
        }
    }
}

// The page's area of the frame, and how its words are written there.
struct PageWriter {
    CellFrame& frame;
    const PageText& page;
    const Look& look;
    int left, top, columns, rows;

    // `units` from (column, row), each character on the backdrop behind it.
    void Write(int column, int row, const Units& units, std::int32_t colour, std::int32_t accent, std::uint8_t attributes) {
        for (std::size_t i = 0; i < units.size(); ++i) {
            std::u32string cluster(1, units[i].c);
            while (i + 1 < units.size() && CellWidth(units[i + 1].c) == 0) cluster += units[++i].c;
            const bool marked = units[i].marked;
            // Without colours a marked word stands out in bold, as it does in colour in the picture.
            const std::uint8_t shown = marked && !look.colour ? static_cast<std::uint8_t>(attributes | kBold) : attributes;
            column += frame.Text(column, row, EncodeUtf8(cluster), look.colour ? (marked ? accent : colour) : kDefaultColour,
                                 Behind(column, row), shown);
        }
    }

    // The backdrop at a cell: the page's two colours blended from the top left to the bottom
    // right, as the picture's own background runs.
    std::int32_t Behind(int column, int row) const {
        if (!look.colour) return kDefaultColour;
        const double t = 0.35 * (column - left) / std::max(columns - 1, 1) + 0.65 * (row - top) / std::max(rows - 1, 1);
        std::int32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const double from = (page.top >> shift) & 0xFF, to = (page.bottom >> shift) & 0xFF;
            out |= static_cast<std::int32_t>(std::lround(from + (to - from) * t)) << shift;
        }
        return out;
    }
};

void DrawPage(CellFrame& frame, int left, int top, int columns, int rows, const WindowScene& scene, const Look& look) {
    const PageText& page = *scene.page;
    PageWriter writer{frame, page, look, left, top, columns, rows};
    // The page's background over the whole area.
    for (int y = top; y < top + rows; ++y)
        for (int x = left; x < left + columns; ++x) frame.Put(x, y, " ", kDefaultColour, writer.Behind(x, y));

    int textLeft = left + 1, textWidth = columns - 2;
    const SurfaceView& picture = scene.picture;
    if (look.colour && look.glyphs && columns >= kColumnsForIllustration && !picture.pixels.empty()) {
        // Half-block cells are about square: the illustration keeps its shape at the area's height.
        const int sourceWidth = picture.width * kIllustrationPercent / 100;
        const int wanted = static_cast<int>(std::lround(2.0 * rows * sourceWidth / picture.height));
        const int illustration = std::clamp(wanted, 1, columns / 3);
        Picture(frame, left, top, illustration, rows, picture, sourceWidth, true);
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
    if (static_cast<int>(body.size()) > room) {
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

void Window(CellFrame& frame, Layout& layout, const WindowScene& scene, const Look& look, const Glyphs& g) {
    const int width = std::min(frame.Columns(), kWidestWindow);
    const bool wide = width >= kWideColumns;
    const int controlRows = wide ? 3 : 4;   // the credit line, then the status and buttons
    const int pictureRows = std::clamp(frame.Rows() - 2 - controlRows, 1, kTallestPicture);
    Frame(frame, 0, 0, width, pictureRows + controlRows + 2, g);
    CaptionBar(frame, 0, 0, width, scene.caption, look);
    // The picture area of the window. A page whose words are known is shown as words: its title
    // and number, and its text wrapped to the area, on the page's own background colours where the
    // terminal takes colours, with the picture's illustration beside it when the area is wide
    // enough for both. Anything else drawn there is shown as a picture in coloured cells (half
    // blocks where the terminal has them), or not at all without colours. The window's frame has
    // left the area blank.
    const SurfaceView& picture = scene.picture;
    if (scene.page)
        DrawPage(frame, 1, 1, width - 2, pictureRows, scene, look);
    else if (look.colour && picture.width > 0 && picture.height > 0 && !picture.pixels.empty())
        Picture(frame, 1, 1, width - 2, pictureRows, picture, picture.width, look.glyphs);
    const int creditRow = pictureRows + 1;
    frame.Text(2, creditRow, scene.credit, kDefaultColour, kDefaultColour, 0, width - 4);
    if (wide) WideControls(frame, layout, width, creditRow + 1, scene, g);
    else NarrowControls(frame, layout, width, creditRow + 1, scene, g);
}

// Less room than every control needs: one line that says so, and under it what matters most,
// the file being written and how far it is. The keys go on working.
void TooSmall(CellFrame& frame, const WindowScene& scene) {
    const std::string note = "Too small, needs " + std::to_string(kSmallestColumns) + 'x' + std::to_string(kSmallestRows);
    frame.Text(0, 0, note, kDefaultColour, kDefaultColour, kReverse, frame.Columns());
    FileName(frame, 0, 1, frame.Columns(), scene.fileName);
    const std::string state = std::to_string(Done(scene, 100)) + "% " + scene.finish.text;
    frame.Text(0, 2, state, kDefaultColour, kDefaultColour, 0, frame.Columns());
}

void MessageBox(CellFrame& frame, Layout& layout, const BoxContent& box, const Look& look, const Glyphs& g) {
    const Units text = Plain(box.text, frame.Utf8());
    const int maxWidth = std::max(frame.Columns() - 4, 16);
    const int textWidth = std::min(maxWidth - 4, std::max({WidthOf(text), WidthOf(Plain(box.caption, frame.Utf8())) + 2, 12}));
    std::vector<Units> lines = Wrap(text, std::max(textWidth, 1));
    const int maxLines = std::max(frame.Rows() - 5, 1);
    if (static_cast<int>(lines.size()) > maxLines) lines.resize(static_cast<std::size_t>(maxLines));
    const int width = textWidth + 4;
    const int height = static_cast<int>(lines.size()) + 5;
    const int left = std::max((frame.Columns() - width) / 2, 0);
    const int top = std::max((frame.Rows() - height) / 2, 0);
    Frame(frame, left, top, width, height, g);
    CaptionBar(frame, left, top, width, box.caption, look);
    for (std::size_t i = 0; i < lines.size(); ++i)
        frame.Text(left + 2, top + 2 + static_cast<int>(i), Encode(lines[i]), kDefaultColour, kDefaultColour, 0, textWidth);
    ButtonScene ok{nullptr, "OK", true, false};
    Button(frame, layout, left + (width - kWideButton) / 2, top + height - 2, kWideButton, ok, true);
    layout.targets.back().isBoxButton = true;
}

} // namespace

Layout DrawScreen(CellFrame& frame, const WindowScene& scene, const std::optional<BoxContent>& box, const Look& look) {
    Layout layout;
    const Glyphs& g = look.glyphs ? kLines : kAscii;
    if (scene.present) {
        if (frame.Columns() < kSmallestColumns || frame.Rows() < kSmallestRows) TooSmall(frame, scene);
        else Window(frame, layout, scene, look, g);
    }
    if (box) MessageBox(frame, layout, *box, look, g);
    return layout;
}

} // namespace ui::terminal
