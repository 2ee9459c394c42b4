// A picture of the terminal's screen as character cells, and the bytes that bring a terminal
// from one such picture to the next.
//
//     CellFrame frame(columns, rows);
//     frame.Text(2, 0, "Caption", kDefaultColour, kDefaultColour, kBold);
//     std::string bytes = frame.Difference(previous, ColourMode::TrueColour);
//     previous = frame;
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::display::terminal {

constexpr std::int32_t kDefaultColour = -1;   // the terminal's own foreground or background
constexpr std::uint8_t kBold = 1;
constexpr std::uint8_t kReverse = 2;
constexpr std::uint8_t kDim = 4;

enum class ColourMode { TrueColour, Palette256 };

struct Cell {
    char glyph[5] = {' ', 0, 0, 0, 0};  // one character, UTF-8, terminated
    std::int32_t foreground = kDefaultColour;   // 0x00RRGGBB or kDefaultColour
    std::int32_t background = kDefaultColour;
    std::uint8_t attributes = 0;        // kBold, kReverse, kDim

    bool operator==(const Cell& other) const;
};

class CellFrame {
public:
    CellFrame() = default;
    CellFrame(int columns, int rows);

    int Columns() const { return mColumns; }
    int Rows() const { return mRows; }

    // Writes one cell; outside the frame nothing happens.
    void Put(int column, int row, std::string_view glyph, std::int32_t foreground,
             std::int32_t background, std::uint8_t attributes = 0);
    // Writes `text` from (column, row) rightwards, at most `width` cells (all when negative);
    // bytes that are not printable ASCII show as '?'.
    void Text(int column, int row, std::string_view text, std::int32_t foreground,
              std::int32_t background, std::uint8_t attributes = 0, int width = -1);
    const Cell& At(int column, int row) const;

    // The bytes that turn a screen showing `before` into this frame; everything when the sizes
    // differ. The bytes end with the attributes reset.
    std::string Difference(const CellFrame& before, ColourMode mode) const;

private:
    int mColumns = 0;
    int mRows = 0;
    std::vector<Cell> mCells;
};

// The nearest colour of the 256-colour palette (the 6x6x6 cube and the grey ramp).
int NearestPaletteColour(std::uint32_t rgb);

} // namespace platform::display::terminal
