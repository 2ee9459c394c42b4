// The terminal's screen as cells: characters of every width, and the bytes sent for them.
#include "platform/display/terminal/CellFrame.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace platform::display::terminal;

std::string Glyph(const CellFrame& frame, int column) {
    return frame.At(column, 0).glyph;
}

TEST(CellFrame, TextTakesOneCellPerCharacterAndTwoForWideOnes) {
    CellFrame frame(10, 1);
    EXPECT_EQ(frame.Text(0, 0, "B\xC3\xA4\xE5\x90\x8D!", kDefaultColour, kDefaultColour), 5);
    EXPECT_EQ(Glyph(frame, 1), "\xC3\xA4");
    EXPECT_EQ(Glyph(frame, 2), "\xE5\x90\x8D");
    EXPECT_EQ(Glyph(frame, 3), "");   // the wide character's right half
    EXPECT_EQ(Glyph(frame, 4), "!");
    // A mark goes onto its letter's cell.
    EXPECT_EQ(frame.Text(0, 0, "a\xCC\x88x", kDefaultColour, kDefaultColour), 2);
    EXPECT_EQ(Glyph(frame, 0), "a\xCC\x88");
    // A wide character that would not fit whole is left out.
    EXPECT_EQ(frame.Text(8, 0, "a\xE5\x90\x8D", kDefaultColour, kDefaultColour), 1);
    EXPECT_EQ(frame.Text(0, 0, "\xE5\x90\x8Dz", kDefaultColour, kDefaultColour, 0, 1), 0);
}

TEST(CellFrame, WithoutUtf8EveryOtherCharacterIsAQuestionMark) {
    CellFrame frame(8, 1, false);
    EXPECT_EQ(frame.Text(0, 0, "B\xC3\xA4\xFF\xE5\x90\x8D", kDefaultColour, kDefaultColour), 4);
    EXPECT_EQ(Glyph(frame, 0) + Glyph(frame, 1) + Glyph(frame, 2) + Glyph(frame, 3), "B???");
}

TEST(CellFrame, HalfAWideCharacterNeverStaysAlone) {
    CellFrame frame(6, 1);
    frame.Text(0, 0, "\xE5\x90\x8D\xE5\x90\x8D", kDefaultColour, kDefaultColour);
    frame.Put(1, 0, "x", kDefaultColour, kDefaultColour);   // over the first one's right half
    EXPECT_EQ(Glyph(frame, 0), " ");
    frame.Text(1, 0, "\xE5\x90\x8D", kDefaultColour, kDefaultColour);   // over the second one's left half
    EXPECT_EQ(Glyph(frame, 3), " ");
    frame.Put(1, 0, "y", kDefaultColour, kDefaultColour);   // over the left half of the new one
    EXPECT_EQ(Glyph(frame, 2), " ");
}

TEST(CellFrame, AWideCharacterIsSentOnceAndTheCursorMovesPastBoth) {
    CellFrame before(4, 1);
    CellFrame after(4, 1);
    after.Text(0, 0, "\xE5\x90\x8D" "ab", kDefaultColour, kDefaultColour);
    const std::string bytes = after.Difference(before, ColourMode::TrueColour);
    // One cursor move to the start, then the characters one after another.
    EXPECT_EQ(bytes, "\x1b[1;1H\x1b[0;39;49m\xE5\x90\x8D" "ab\x1b[0m");
}

TEST(CellFrame, ColourSequencesFollowTheMode) {
    CellFrame before(1, 1);
    CellFrame after(1, 1);
    after.Put(0, 0, "x", 0xFF0000, 0x0000FF, kBold);
    EXPECT_EQ(after.Difference(before, ColourMode::TrueColour), "\x1b[1;1H\x1b[0;1;38;2;255;0;0;48;2;0;0;255mx\x1b[0m");
    EXPECT_EQ(after.Difference(before, ColourMode::Palette256), "\x1b[1;1H\x1b[0;1;38;5;196;48;5;21mx\x1b[0m");
    EXPECT_EQ(after.Difference(before, ColourMode::Basic16), "\x1b[1;1H\x1b[0;1;91;44mx\x1b[0m");
    EXPECT_EQ(after.Difference(before, ColourMode::None), "\x1b[1;1H\x1b[0;1mx\x1b[0m");
    // Without colours not even the terminal's own are named.
    after.Put(0, 0, "y", kDefaultColour, kDefaultColour);
    EXPECT_EQ(after.Difference(before, ColourMode::None), "\x1b[1;1H\x1b[0my\x1b[0m");
}

} // namespace

namespace {

TEST(NearestPaletteColour, TintedColoursKeepAHueGreysStayGrey) {
    // The green of a page's background is no grey in 256 colours; a grey is.
    EXPECT_LT(NearestPaletteColour(0x24623E), 232);
    EXPECT_LT(NearestPaletteColour(0x7C2F0E), 232);
    EXPECT_EQ(NearestPaletteColour(0x808080), 232 + 12);
    EXPECT_EQ(NearestPaletteColour(0x767A78), 232 + 11);
    EXPECT_EQ(NearestPaletteColour(0xFF0000), 196);
}

// Each colour of the palette is its own nearest; a dark slate blue keeps its green rather than
// going navy (the squared distance of the levels took it to 17).
TEST(NearestPaletteColour, EveryPaletteColourIsItsOwnNearestAndDarkTealsStayTeal) {
    for (int index = 16; index < 256; ++index) EXPECT_EQ(NearestPaletteColour(PaletteRgb(index)), index) << index;
    for (int index = 0; index < 16; ++index) EXPECT_EQ(NearestBasicColour(PaletteRgb(index)), index) << index;
    EXPECT_NE(NearestPaletteColour(0x10284A), 17);
    EXPECT_NE(NearestPaletteColour(0x10284A), 16);
}

} // namespace
