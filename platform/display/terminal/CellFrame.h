// A picture of the terminal's screen as character cells, and the bytes that bring a terminal
// from one such picture to the next; and text in cells: how many cells a character takes, a
// text as characters (each with a mark for highlighted words), its width in cells, and its rows
// when it is wrapped to a width.
//
//     CellFrame frame(columns, rows, utf8);
//     frame.Text(2, 0, "Caption", kDefaultColour, kDefaultColour, kBold);
//     std::string bytes = frame.Difference(previous, ColourMode::TrueColour);
//     previous = frame;
#pragma once

#include "platform/display/terminal/ColourMatch.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::display::terminal {

constexpr std::int32_t kDefaultColour = -1;   // the terminal's own foreground or background
constexpr std::uint8_t kBold = 1;
constexpr std::uint8_t kReverse = 2;
constexpr std::uint8_t kDim = 4;

// What colours the terminal takes: none at all (only bold, dim and reverse), the sixteen
// standard ones, the 256-colour palette, or any.
enum class ColourMode { None, Basic16, Palette256, TrueColour };

struct Cell {
    // One character and any marks on it, UTF-8, terminated; empty in the right half of a wide
    // character (the terminal fills it when it draws the left half).
    char glyph[16] = {' '};
    std::int32_t foreground = kDefaultColour;   // 0x00RRGGBB or kDefaultColour
    std::int32_t background = kDefaultColour;
    std::uint8_t attributes = 0;        // kBold, kReverse, kDim

    bool operator==(const Cell& other) const = default;
};

class CellFrame {
public:
    CellFrame() = default;
    // `utf8`: the terminal shows UTF-8; without it every character beyond ASCII is drawn as '?'.
    CellFrame(int columns, int rows, bool utf8 = true);

    int Columns() const { return mColumns; }
    int Rows() const { return mRows; }

    bool Utf8() const { return mUtf8; }

    // Writes one cell with a character one cell wide; outside the frame nothing happens.
    void Put(int column, int row, std::string_view glyph, std::int32_t foreground,
             std::int32_t background, std::uint8_t attributes = 0);
    // Writes the characters of `text` (bytes, read as DisplayCharacters reads them) from
    // (column, row) rightwards, at most `width` cells (all when negative); a wide character that
    // would not fit whole is left out, and what follows with it. Returns the cells written.
    int Text(int column, int row, std::string_view text, std::int32_t foreground,
             std::int32_t background, std::uint8_t attributes = 0, int width = -1);
    const Cell& At(int column, int row) const;

    // The bytes that turn a screen showing `before` into this frame; everything when the sizes
    // differ. The bytes end with the attributes reset.
    std::string Difference(const CellFrame& before, ColourMode mode) const;

private:
    Cell* CellAt(int column, int row);

    int mColumns = 0;
    int mRows = 0;
    bool mUtf8 = true;
    std::vector<Cell> mCells;
};

// How many cells of a terminal a character takes: 0 for a mark that sits on the character
// before it, 2 for the wide characters of East Asian scripts and emoji, 1 for the rest. The
// program does not set the process's locale (that would change its error texts), so the C
// library's wcwidth cannot be asked; this covers the ranges file names hold in practice.
int CellWidth(char32_t c);

// One character of a text and whether it is marked (highlighted).
struct Unit {
    char32_t c;
    bool marked;
};
using Units = std::vector<Unit>;

// The characters of `text` (as DisplayCharacters reads them). Without `utf8` the terminal
// shows ASCII alone, and every other character is a '?' (one cell, as it is drawn).
std::u32string Characters(std::string_view text, bool utf8);
// The same characters, none marked.
Units Plain(const std::string& text, bool utf8);
// The characters of `text` with its {braces} taken out and what they enclose marked.
Units Marked(const std::string& text, bool utf8);
std::string Encode(const Units& units);
// The cells that the units take.
int WidthOf(const Units& units);
// The text broken into rows of at most `width` cells, at spaces where it can be (the spaces at
// a break are dropped); an empty text is one empty row.
std::vector<Units> Wrap(const Units& text, int width);

} // namespace platform::display::terminal
