// Text in character cells: a text as characters (each with a mark for highlighted words), its
// width in cells, and its rows when it is wrapped to a width.
//
//     for (const Units& row : Wrap(Plain(message), 40)) frame.Text(x, y++, Encode(row), ...);
#pragma once

#include <string>
#include <vector>

namespace platform::display::terminal {

// One character of a text and whether it is marked (highlighted).
struct Unit {
    char32_t c;
    bool marked;
};
using Units = std::vector<Unit>;

// The characters of `text` (as DisplayCharacters reads them), none marked. Without `utf8` the
// terminal shows ASCII alone, and every other character is a '?' (one cell, as it is drawn).
Units Plain(const std::string& text, bool utf8);
// The characters of `text` with its {braces} taken out and what they enclose marked.
Units Marked(const std::string& text, bool utf8);
std::string Encode(const Units& units);
// The cells that units [from, to) take.
int WidthOf(const Units& units, std::size_t from, std::size_t to);
int WidthOf(const Units& units);
// The text broken into rows of at most `width` cells, at spaces where it can be (the spaces at
// a break are dropped); an empty text is one empty row.
std::vector<Units> Wrap(const Units& text, int width);

} // namespace platform::display::terminal
