#include "platform/display/terminal/TextRows.h"

#include "platform/display/DisplayText.h"
#include "platform/display/terminal/CellWidth.h"

namespace platform::display::terminal {

namespace {

std::u32string Characters(const std::string& text, bool utf8) {
    std::u32string characters = DisplayCharacters(text);
    if (!utf8)
        for (char32_t& c : characters) c = c < 0x80 ? c : U'?';
    return characters;
}

} // namespace

Units Plain(const std::string& text, bool utf8) {
    Units units;
    for (char32_t c : Characters(text, utf8)) units.push_back(Unit{c, false});
    return units;
}

Units Marked(const std::string& text, bool utf8) {
    Units units;
    bool marked = false;
    for (char32_t c : Characters(text, utf8)) {
        if (c == U'{' || c == U'}') {
            marked = c == U'{';
            continue;
        }
        units.push_back(Unit{c, marked});
    }
    return units;
}

std::string Encode(const Units& units) {
    std::u32string characters;
    for (const Unit& unit : units) characters += unit.c;
    return EncodeUtf8(characters);
}

int WidthOf(const Units& units, std::size_t from, std::size_t to) {
    int width = 0;
    for (std::size_t i = from; i < to; ++i) width += CellWidth(units[i].c);
    return width;
}

int WidthOf(const Units& units) {
    return WidthOf(units, 0, units.size());
}

std::vector<Units> Wrap(const Units& text, int width) {
    std::vector<Units> rows;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        int used = 0;
        while (end < text.size() && used + CellWidth(text[end].c) <= width) used += CellWidth(text[end++].c);
        if (end < text.size()) {
            std::size_t space = end;
            while (space > start && text[space].c != U' ') --space;
            if (space > start) end = space;
            else if (end == start) end = start + 1;   // a character wider than the row
        }
        rows.emplace_back(text.begin() + static_cast<std::ptrdiff_t>(start), text.begin() + static_cast<std::ptrdiff_t>(end));
        start = end;
        while (start < text.size() && text[start].c == U' ') ++start;
    }
    if (rows.empty()) rows.emplace_back();
    return rows;
}

} // namespace platform::display::terminal
