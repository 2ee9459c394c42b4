// The text both displays draw: how bytes become characters, how a name too long for its field
// is shortened from the left, and how a text is wrapped into rows.
#include "platform/display/DisplayText.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::display::DisplayCharacters;
using platform::display::EncodeUtf8;
using platform::display::KeepEnd;
using platform::display::RowSpan;
using platform::display::WrapRows;

constexpr char32_t R = platform::display::kReplacement;

TEST(DisplayCharacters, ReadsUtf8OfEveryLength) {
    EXPECT_EQ(DisplayCharacters("B\xC3\xA4nder Gro\xC3\x9F \xE2\x80\xA6 \xF0\x9F\x8E\xB5"),
              U"B\u00E4nder Gro\u00DF \u2026 \U0001F3B5");
    EXPECT_EQ(EncodeUtf8(U"B\u00E4nder Gro\u00DF \u2026 \U0001F3B5"),
              "B\xC3\xA4nder Gro\xC3\x9F \xE2\x80\xA6 \xF0\x9F\x8E\xB5");
}

// Each byte that is not part of a well-formed sequence is one replacement, and the text around
// it is read as it is: nothing dropped, nothing swallowed.
TEST(DisplayCharacters, MarksEveryByteThatIsNotUtf8) {
    EXPECT_EQ(DisplayCharacters("a\xFFz"), std::u32string(U"a") + R + U"z");           // never in UTF-8
    EXPECT_EQ(DisplayCharacters("a\xA4z"), std::u32string(U"a") + R + U"z");           // stray continuation
    EXPECT_EQ(DisplayCharacters("Gro\xDF"), std::u32string(U"Gro") + R);               // Latin-1, cut off
    EXPECT_EQ(DisplayCharacters("\xC3z"), std::u32string(1, R) + U"z");                // lead without its byte
    EXPECT_EQ(DisplayCharacters("\xC0\xAF"), std::u32string(2, R));                    // overlong "/"
    EXPECT_EQ(DisplayCharacters("\xE0\x80\xAF"), std::u32string(3, R));                // the same in three
    EXPECT_EQ(DisplayCharacters("\xED\xA0\x80"), std::u32string(3, R));                // a surrogate
    EXPECT_EQ(DisplayCharacters("\xF4\x90\x80\x80"), std::u32string(4, R));            // beyond U+10FFFF
    EXPECT_EQ(DisplayCharacters("\xE2\x80" "a"), std::u32string(2, R) + U"a");         // three-byte lead cut
}

// A name's controls are shown as the report writes them; a backslash is a character like any
// other here.
TEST(DisplayCharacters, ControlCharactersAreShownAsTheirEscapes) {
    EXPECT_EQ(DisplayCharacters("a\x1b[2Jb\tc\x7F\xC2\x9B\nd\\e"),
              std::u32string(U"a\\x1b[2Jb") + R + U"c\\x7f\\xc2\\x9b\\nd\\e");
}

int One(char32_t c) {
    return c == U'\u0308' ? 0 : 1;   // a combining diaeresis takes no room
}

TEST(KeepEnd, ShortensFromTheLeftBehindTheEllipsis) {
    EXPECT_EQ(KeepEnd(U"/a/b.wav", 8, U"\u2026", One), U"/a/b.wav");
    EXPECT_EQ(KeepEnd(U"/tmp/archive/b.wav", 8, U"\u2026", One), U"\u2026e/b.wav");
    EXPECT_EQ(KeepEnd(U"/tmp/archive/b.wav", 9, U"...", One), U".../b.wav");
    EXPECT_EQ(KeepEnd(U"/tmp/archive/b.wav", 1, U"\u2026", One), U"\u2026");
    EXPECT_EQ(KeepEnd(U"/tmp/archive/b.wav", 2, U"...", One), U"");
    // Wider characters count as wide.
    EXPECT_EQ(KeepEnd(U"abcdef", 5, U"\u2026", [](char32_t c) { return c == U'f' ? 3 : 1; }), U"\u2026ef");
}

TEST(KeepEnd, NeverSeparatesAMarkFromItsLetter) {
    // "a" + combining diaeresis is one letter of width 1: it goes whole or not at all.
    EXPECT_EQ(KeepEnd(U"xxa\u0308b", 3, U"\u2026", One), U"\u2026a\u0308b");
    EXPECT_EQ(KeepEnd(U"xxa\u0308b", 2, U"\u2026", One), U"\u2026b");
}

// Both displays wrap with it: X11 in pixels, the terminal in cells. Here every character is one
// unit wide but 'W', which is three.
std::vector<std::u32string> Wrapped(const std::u32string& text, int width) {
    const auto fits = [&](std::size_t start, std::size_t end) {
        int used = 0;
        for (std::size_t i = start; i < end; ++i) used += text[i] == U'W' ? 3 : 1;
        return used <= width;
    };
    std::vector<std::u32string> rows;
    for (const RowSpan row : WrapRows(text.size(), fits, [&](std::size_t at) { return text[at] == U' '; }))
        rows.push_back(text.substr(row.start, row.end - row.start));
    return rows;
}

TEST(WrapRows, BreaksAtTheLastSpaceOrBetweenCharactersWhereItMust) {
    using Rows = std::vector<std::u32string>;
    EXPECT_EQ(Wrapped(U"is not a KOB file", 10), (Rows{U"is not a", U"KOB file"}));
    // The spaces at a break are dropped, those inside a row kept.
    EXPECT_EQ(Wrapped(U"ab  cd   efgh", 6), (Rows{U"ab  cd", U"efgh"}));
    // A word longer than a row is cut where the row is full; what is left of it goes on.
    EXPECT_EQ(Wrapped(U"/a/very/long/name.kob is bad", 8), (Rows{U"/a/very/", U"long/nam", U"e.kob is", U"bad"}));
    // A character wider than a row gets one of its own; an empty text is one empty row.
    EXPECT_EQ(Wrapped(U"aWb", 2), (Rows{U"a", U"W", U"b"}));
    EXPECT_EQ(Wrapped(U"", 5), (Rows{U""}));
}

} // namespace
