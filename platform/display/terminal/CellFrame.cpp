#include "platform/display/terminal/CellFrame.h"

#include "platform/display/DisplayText.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <numeric>
#include <span>

namespace platform::display::terminal {
namespace {

struct Range {
    char32_t first, last;
};

constexpr Range kMarks[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
};

constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
};

bool In(std::span<const Range> ranges, char32_t c) {
    return std::any_of(ranges.begin(), ranges.end(), [c](const Range& range) { return c >= range.first && c <= range.last; });
}

const Cell kOutside{};

void AppendColour(std::string& out, bool foreground, std::int32_t colour, ColourMode mode) {
    // Without colours not even the terminal's own are named: a colour sequence of any kind is
    // what such a terminal (or a user who asked for none) must not get.
    if (mode == ColourMode::None) return;
    const auto rgb = static_cast<std::uint32_t>(colour);
    out += ';';
    if (colour == kDefaultColour) {
        out += foreground ? "39" : "49";
    } else if (mode == ColourMode::TrueColour) {
        out += foreground ? "38;2;" : "48;2;";
        out += std::to_string((rgb >> 16) & 0xFF) + ";" + std::to_string((rgb >> 8) & 0xFF) + ";" +
               std::to_string(rgb & 0xFF);
    } else if (mode == ColourMode::Palette256) {
        out += foreground ? "38;5;" : "48;5;";
        out += std::to_string(NearestPaletteColour(rgb));
    } else {
        // The nearest of the sixteen standard colours, 0 to 15 (8 to 15 the bright ones).
        const int basic = NearestBasicColour(rgb);
        out += std::to_string((basic < 8 ? (foreground ? 30 : 40) : (foreground ? 90 : 100)) + basic % 8);
    }
}

// The full attribute state of `cell` in one SGR sequence, starting from a reset.
std::string Style(const Cell& cell, ColourMode mode) {
    std::string out = "\x1b[0";
    if (cell.attributes & kBold) out += ";1";
    if (cell.attributes & kDim) out += ";2";
    if (cell.attributes & kReverse) out += ";7";
    AppendColour(out, true, cell.foreground, mode);
    AppendColour(out, false, cell.background, mode);
    out += 'm';
    return out;
}

bool IsRightHalf(const Cell& cell) {
    return cell.glyph[0] == '\0';
}

// The glyph, its end filled with zeros so that equal cells are equal byte for byte.
void SetGlyph(Cell& cell, std::string_view glyph) {
    std::memset(cell.glyph, 0, sizeof cell.glyph);
    std::memcpy(cell.glyph, glyph.data(), std::min<std::size_t>(glyph.size(), sizeof cell.glyph - 1));
}

} // namespace

CellFrame::CellFrame(int columns, int rows, bool utf8)
    : mColumns(std::max(columns, 0)), mRows(std::max(rows, 0)), mUtf8(utf8),
      mCells(static_cast<std::size_t>(mColumns) * static_cast<std::size_t>(mRows)) {}

Cell* CellFrame::CellAt(int column, int row) {
    if (column < 0 || row < 0 || column >= mColumns || row >= mRows) return nullptr;
    return &mCells[static_cast<std::size_t>(row) * static_cast<std::size_t>(mColumns) +
                   static_cast<std::size_t>(column)];
}

const Cell& CellFrame::At(int column, int row) const {
    const Cell* cell = const_cast<CellFrame*>(this)->CellAt(column, row);
    return cell ? *cell : kOutside;
}

void CellFrame::Put(int column, int row, std::string_view glyph, std::int32_t foreground,
                    std::int32_t background, std::uint8_t attributes) {
    Cell* cell = CellAt(column, row);
    if (!cell) return;
    // WATCHOUT: half of a wide character cannot stay on its own; the terminal would draw the
    // whole of it, or shift the rest of the row. The other half becomes a blank.
    Cell* left = CellAt(column - 1, row);
    if (left && IsRightHalf(*cell)) SetGlyph(*left, " ");
    Cell* right = CellAt(column + 1, row);
    if (right && IsRightHalf(*right)) SetGlyph(*right, " ");
    *cell = Cell{{}, foreground, background, attributes};
    SetGlyph(*cell, glyph.empty() ? std::string_view(" ") : glyph);
}

int CellFrame::Text(int column, int row, std::string_view text, std::int32_t foreground,
                    std::int32_t background, std::uint8_t attributes, int width) {
    const int limit = width < 0 ? INT_MAX : width;
    int used = 0;
    Cell* last = nullptr;   // the cell of the last character written, for marks that follow
    for (char32_t c : Characters(text, mUtf8)) {
        const int cells = mUtf8 ? CellWidth(c) : 1;
        const std::string glyph = EncodeUtf8(std::u32string(1, c));
        // A mark joins the character before it while its glyph has room; one without a
        // character before it in this text stands on a blank.
        if (cells == 0 && last) {
            if (std::strlen(last->glyph) + glyph.size() < sizeof last->glyph) std::strcat(last->glyph, glyph.c_str());
            continue;
        }
        const int taken = std::max(cells, 1);
        if (used + taken > limit || (cells == 2 && column + used + 1 >= mColumns)) break;
        Put(column + used, row, cells == 0 ? " " + glyph : glyph, foreground, background, attributes);
        last = CellAt(column + used, row);
        if (cells == 2) {
            // The right half is written as a blank first, so a wide character it cuts in two
            // loses its other half, and then marked as the right half of the one just written.
            Put(column + used + 1, row, " ", foreground, background, attributes);
            SetGlyph(*CellAt(column + used + 1, row), "");
        }
        used += taken;
    }
    return used;
}

std::string CellFrame::Difference(const CellFrame& before, ColourMode mode) const {
    const bool everything = before.mColumns != mColumns || before.mRows != mRows;
    std::string out;
    if (everything) out += "\x1b[0m\x1b[2J";
    const Cell* style = nullptr;   // the style the terminal is in, when known
    int cursorColumn = -1, cursorRow = -1;
    for (int row = 0; row < mRows; ++row) {
        for (int column = 0; column < mColumns; ++column) {
            const Cell& cell = At(column, row);
            // The right half of a wide character is drawn with its left half.
            if (IsRightHalf(cell)) continue;
            const bool wide = column + 1 < mColumns && IsRightHalf(At(column + 1, row));
            const bool changed = everything || !(cell == before.At(column, row)) ||
                                 (wide && !(At(column + 1, row) == before.At(column + 1, row)));
            if (!changed) continue;
            // WATCHOUT: the last cell of the screen is written too; terminals keep the cursor
            // there (pending wrap) rather than scroll, as long as nothing follows on that row.
            if (cursorRow != row || cursorColumn != column)
                out += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
            if (!style || style->foreground != cell.foreground || style->background != cell.background ||
                style->attributes != cell.attributes)
                out += Style(cell, mode);
            style = &cell;
            out += cell.glyph;
            cursorColumn = column + (wide ? 2 : 1);
            cursorRow = row;
        }
    }
    if (style) out += "\x1b[0m";
    return out;
}

std::u32string Characters(std::string_view text, bool utf8) {
    std::u32string characters = DisplayCharacters(text);
    if (!utf8)
        for (char32_t& c : characters) c = c < 0x80 ? c : U'?';
    return characters;
}

int CellWidth(char32_t c) {
    if (c < 0x300) return 1;
    if (In(kMarks, c)) return 0;
    return In(kWide, c) ? 2 : 1;
}

Units Plain(const std::string& text, bool utf8) {
    Units units;
    for (char32_t c : Characters(text, utf8)) units.push_back(Unit{c, false});
    return units;
}

Units Marked(const std::string& text, bool utf8) {
    Units units;
    bool marked = false;
    for (char32_t c : Characters(text, utf8)) {
        if (c == U'{' || c == U'}')
            marked = c == U'{';
        else
            units.push_back(Unit{c, marked});
    }
    return units;
}

std::string Encode(const Units& units) {
    std::u32string characters;
    for (const Unit& unit : units) characters += unit.c;
    return EncodeUtf8(characters);
}

int WidthOf(const Units& units) {
    return std::accumulate(units.begin(), units.end(), 0, [](int width, const Unit& unit) { return width + CellWidth(unit.c); });
}

std::vector<Units> Wrap(const Units& text, int width) {
    // The row grows a character at a time: its width is summed on from the last question.
    std::size_t from = text.size() + 1, to = 0;
    int used = 0;
    const auto fits = [&](std::size_t start, std::size_t end) {
        if (start != from || end < to) from = to = start, used = 0;
        while (to < end) used += CellWidth(text[to++].c);
        return used <= width;
    };
    std::vector<Units> rows;
    for (const RowSpan row : WrapRows(text.size(), fits, [&](std::size_t at) { return text[at].c == U' '; }))
        rows.emplace_back(text.begin() + static_cast<std::ptrdiff_t>(row.start), text.begin() + static_cast<std::ptrdiff_t>(row.end));
    return rows;
}

} // namespace platform::display::terminal
