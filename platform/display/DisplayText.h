// Text as the displays draw it: the window model holds bytes (file names are whatever the file
// system holds, mostly UTF-8), a display draws characters. Both displays decode the same way,
// so a name looks alike on X11 and in a terminal, both shorten a name that does not fit the
// same way (from the left, so its end, the file itself, stays in view), and both wrap a text
// into rows the same way, each measuring in its own units (pixels, cells).
//
//     std::u32string shown = DisplayCharacters(view.text);
//     shown = KeepEnd(shown, fieldWidth, U"\u2026", [&](char32_t c) { return GlyphWidth(c); });
//     for (const RowSpan row : WrapRows(shown.size(), fitsOneRow, isSpace)) ...
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::display {

// What a display draws for anything it cannot draw as itself.
constexpr char32_t kReplacement = 0xFFFD;

// The characters `bytes` spell in UTF-8. Every byte that is not part of a well-formed sequence
// (a stray continuation byte, a cut-off, overlong or surrogate sequence, a byte that never
// occurs in UTF-8) becomes one kReplacement, so nothing is dropped and no byte is read as
// something it is not. Control characters would move the terminal's cursor or be drawn as
// nothing: they are shown as their escapes (platform/text/EscapedName.h: `\x1b`, `\n`), a tab
// as kReplacement.
std::u32string DisplayCharacters(std::string_view bytes);

std::string EncodeUtf8(std::u32string_view characters);

// `text` when its width is at most `width`; otherwise `ellipsis` followed by as much of the end
// of `text` as fits with it (just the ellipsis, or nothing, when there is no room for more).
// Widths are the sums of `widthOf` over the characters.
std::u32string KeepEnd(const std::u32string& text, int width, const std::u32string& ellipsis,
                       const std::function<int(char32_t)>& widthOf);

// One row of a wrapped text: its characters start..end.
struct RowSpan {
    std::size_t start = 0, end = 0;
};

// A text of `count` characters broken into rows, greedily: each row takes as many characters as
// fit (`fits(start, end)`: whether characters start..end fit one row), and when the text goes on
// it is broken at the last space the row holds, the spaces at the break dropped; a row without
// a space is broken where it must be, between characters, and a character too wide for a row
// gets one of its own. An empty text is one empty row.
std::vector<RowSpan> WrapRows(std::size_t count, const std::function<bool(std::size_t start, std::size_t end)>& fits,
                              const std::function<bool(std::size_t at)>& isSpace);

} // namespace platform::display
