#include "platform/display/terminal/CellFrame.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform::display::terminal {
namespace {

const Cell kOutside{};

void AppendColour(std::string& out, bool foreground, std::int32_t colour, ColourMode mode) {
    if (colour == kDefaultColour) {
        out += foreground ? ";39" : ";49";
        return;
    }
    const auto rgb = static_cast<std::uint32_t>(colour);
    if (mode == ColourMode::TrueColour) {
        out += foreground ? ";38;2;" : ";48;2;";
        out += std::to_string((rgb >> 16) & 0xFF) + ";" + std::to_string((rgb >> 8) & 0xFF) + ";" +
               std::to_string(rgb & 0xFF);
    } else {
        out += foreground ? ";38;5;" : ";48;5;";
        out += std::to_string(NearestPaletteColour(rgb));
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

bool SameStyle(const Cell& a, const Cell& b) {
    return a.foreground == b.foreground && a.background == b.background &&
           a.attributes == b.attributes;
}

int Distance(int r1, int g1, int b1, int r2, int g2, int b2) {
    return (r1 - r2) * (r1 - r2) + (g1 - g2) * (g1 - g2) + (b1 - b2) * (b1 - b2);
}

} // namespace

bool Cell::operator==(const Cell& other) const {
    return std::strcmp(glyph, other.glyph) == 0 && SameStyle(*this, other);
}

CellFrame::CellFrame(int columns, int rows)
    : mColumns(std::max(columns, 0)), mRows(std::max(rows, 0)),
      mCells(static_cast<std::size_t>(mColumns) * static_cast<std::size_t>(mRows)) {}

void CellFrame::Put(int column, int row, std::string_view glyph, std::int32_t foreground,
                    std::int32_t background, std::uint8_t attributes) {
    if (column < 0 || row < 0 || column >= mColumns || row >= mRows) return;
    Cell& cell = mCells[static_cast<std::size_t>(row) * static_cast<std::size_t>(mColumns) +
                        static_cast<std::size_t>(column)];
    const std::size_t length = std::min<std::size_t>(glyph.size(), sizeof cell.glyph - 1);
    std::memcpy(cell.glyph, glyph.data(), length);
    cell.glyph[length] = '\0';
    if (length == 0) cell.glyph[0] = ' ', cell.glyph[1] = '\0';
    cell.foreground = foreground;
    cell.background = background;
    cell.attributes = attributes;
}

void CellFrame::Text(int column, int row, std::string_view text, std::int32_t foreground,
                     std::int32_t background, std::uint8_t attributes, int width) {
    const std::size_t limit = width < 0 ? text.size() : std::min<std::size_t>(text.size(), static_cast<std::size_t>(width));
    for (std::size_t i = 0; i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char glyph[2] = {c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?', 0};
        Put(column + static_cast<int>(i), row, glyph, foreground, background, attributes);
    }
}

const Cell& CellFrame::At(int column, int row) const {
    if (column < 0 || row < 0 || column >= mColumns || row >= mRows) return kOutside;
    return mCells[static_cast<std::size_t>(row) * static_cast<std::size_t>(mColumns) +
                  static_cast<std::size_t>(column)];
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
            if (!everything && cell == before.At(column, row)) continue;
            // WATCHOUT: the last cell of the screen is written too; terminals keep the cursor
            // there (pending wrap) rather than scroll, as long as nothing follows on that row.
            if (cursorRow != row || cursorColumn != column) {
                out += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
            }
            if (!style || !SameStyle(*style, cell)) out += Style(cell, mode);
            style = &cell;
            out += cell.glyph;
            cursorColumn = column + 1;
            cursorRow = row;
        }
    }
    if (style) out += "\x1b[0m";
    return out;
}

int NearestPaletteColour(std::uint32_t rgb) {
    const int r = static_cast<int>((rgb >> 16) & 0xFF);
    const int g = static_cast<int>((rgb >> 8) & 0xFF);
    const int b = static_cast<int>(rgb & 0xFF);
    static constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};
    auto nearestLevel = [](int value) {
        int best = 0;
        for (int i = 1; i < 6; ++i) {
            if (std::abs(kLevels[i] - value) < std::abs(kLevels[best] - value)) best = i;
        }
        return best;
    };
    const int ri = nearestLevel(r), gi = nearestLevel(g), bi = nearestLevel(b);
    const int cube = 16 + 36 * ri + 6 * gi + bi;
    const int cubeDistance = Distance(r, g, b, kLevels[ri], kLevels[gi], kLevels[bi]);
    // The grey ramp 232..255 runs 8, 18, ..., 238.
    const int average = (r + g + b) / 3;
    const int greyIndex = std::clamp((average - 8 + 5) / 10, 0, 23);
    const int grey = 8 + 10 * greyIndex;
    const int greyDistance = Distance(r, g, b, grey, grey, grey);
    return greyDistance < cubeDistance ? 232 + greyIndex : cube;
}

} // namespace platform::display::terminal
