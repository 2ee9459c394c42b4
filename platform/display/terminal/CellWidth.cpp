#include "platform/display/terminal/CellWidth.h"

#include <iterator>

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

template <std::size_t N>
bool In(const Range (&ranges)[N], char32_t c) {
    for (const Range& range : ranges)
        if (c >= range.first && c <= range.last) return true;
    return false;
}

} // namespace

int CellWidth(char32_t c) {
    if (c < 0x300) return 1;
    if (In(kMarks, c)) return 0;
    return In(kWide, c) ? 2 : 1;
}

} // namespace platform::display::terminal
