#include "platform/display/terminal/TerminalLayout.h"

#include "platform/display/DisplayText.h"
#include "platform/display/terminal/CellWidth.h"
#include "platform/display/terminal/TextRows.h"

#include <algorithm>
#include <cstdint>

namespace platform::display::terminal {
namespace {

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

void Frame(CellFrame& frame, int left, int top, int width, int height, const Glyphs& g) {
    for (int x = left + 1; x < left + width - 1; ++x) {
        frame.Put(x, top, g.horizontal, kDefaultColour, kDefaultColour);
        frame.Put(x, top + height - 1, g.horizontal, kDefaultColour, kDefaultColour);
    }
    for (int y = top + 1; y < top + height - 1; ++y) {
        frame.Put(left, y, g.vertical, kDefaultColour, kDefaultColour);
        frame.Put(left + width - 1, y, g.vertical, kDefaultColour, kDefaultColour);
        for (int x = left + 1; x < left + width - 1; ++x) frame.Put(x, y, " ", kDefaultColour, kDefaultColour);
    }
    frame.Put(left, top, g.topLeft, kDefaultColour, kDefaultColour);
    frame.Put(left + width - 1, top, g.topRight, kDefaultColour, kDefaultColour);
    frame.Put(left, top + height - 1, g.bottomLeft, kDefaultColour, kDefaultColour);
    frame.Put(left + width - 1, top + height - 1, g.bottomRight, kDefaultColour, kDefaultColour);
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
    std::u32string characters;
    for (const Unit& unit : Plain(name, utf8)) characters += unit.c;
    const std::u32string shown =
        KeepEnd(characters, width, utf8 ? U"\u2026" : U"...", [](char32_t c) { return CellWidth(c); });
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
    const int inner = width - 2;
    const int nextColumn = inner - kWideButton;
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
    const int finishColumn = width - 2 - kNarrowButton;
    const int nextColumn = finishColumn - kNarrowButton - 1;
    const int previousColumn = nextColumn - kNarrowButton - 1;
    Button(frame, layout, previousColumn, row + 2, kNarrowButton, scene.previous, scene.enabled);
    Button(frame, layout, nextColumn, row + 2, kNarrowButton, scene.next, scene.enabled);
    Button(frame, layout, finishColumn, row + 2, kNarrowButton, scene.finish, scene.enabled);
}

void Window(CellFrame& frame, Layout& layout, const WindowScene& scene, const Look& look, const Glyphs& g) {
    const int width = std::min(frame.Columns(), kWidestWindow);
    const bool wide = width >= kWideColumns;
    const int controlRows = wide ? 3 : 4;   // the credit line, then the status and buttons
    const int pictureRows = std::clamp(frame.Rows() - 2 - controlRows, 1, kTallestPicture);
    Frame(frame, 0, 0, width, pictureRows + controlRows + 2, g);
    CaptionBar(frame, 0, 0, width, scene.caption, look);
    DrawPicturePanel(frame, 1, 1, width - 2, pictureRows, scene, look);
    const int creditRow = pictureRows + 1;
    frame.Text(2, creditRow, scene.credit, kDefaultColour, kDefaultColour, 0, width - 4);
    if (wide) WideControls(frame, layout, width, creditRow + 1, scene, g);
    else NarrowControls(frame, layout, width, creditRow + 1, scene, g);
}

// Less room than every control needs: one line that says so, and under it what matters most,
// the file being written and how far it is. The keys go on working.
void TooSmall(CellFrame& frame, const WindowScene& scene) {
    std::string note = "Too small, needs ";
    note += std::to_string(kSmallestColumns);
    note += 'x';
    note += std::to_string(kSmallestRows);
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

int Layout::Hit(int column, int row) const {
    // The message box's button is drawn last and lies on top.
    for (int i = static_cast<int>(targets.size()) - 1; i >= 0; --i) {
        const Target& t = targets[static_cast<std::size_t>(i)];
        if (row == t.row && column >= t.column && column < t.column + t.width) return i;
    }
    return -1;
}

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

} // namespace platform::display::terminal
