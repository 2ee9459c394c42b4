// What the terminal display makes of TERM, COLORTERM, NO_COLOR and the locale, with the terminal
// database's entry where it has one, else by the name alone.
#include "platform/display/terminal/TerminalKind.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace platform::display::terminal;

TerminalKind Kind(const std::map<std::string, std::string>& environment, const TerminalDatabase& database = {}) {
    return KindOfTerminal(
        [&](const char* name) -> const char* {
            auto found = environment.find(name);
            return found == environment.end() ? nullptr : found->second.c_str();
        },
        database);
}

TEST(TerminalKind, TerminalsThatCannotMoveTheCursorGetNoWindow) {
    EXPECT_FALSE(Kind({}).addressable);
    EXPECT_FALSE(Kind({{"TERM", ""}}).addressable);
    EXPECT_FALSE(Kind({{"TERM", "dumb"}, {"COLORTERM", "truecolor"}}).addressable);
}

TEST(TerminalKind, OnlyXtermLikeTerminalsGetColoursAndTheRest) {
    struct Case {
        const char* term;
        bool rich;
        ColourMode colours;
    } cases[] = {
        {"xterm-256color", true, ColourMode::Palette256}, {"xterm", true, ColourMode::Palette256},
        {"screen", true, ColourMode::Basic16},            {"tmux-256color", true, ColourMode::Palette256},
        {"rxvt-unicode", true, ColourMode::Basic16},      {"xterm-direct", true, ColourMode::TrueColour},
        {"vt100", false, ColourMode::None},               {"vt220", false, ColourMode::None},
        {"linux", false, ColourMode::None},               {"strange", false, ColourMode::None},
        {"stranger-256color", false, ColourMode::None},   {"sterm", false, ColourMode::None},
        {"foot", true, ColourMode::TrueColour},           {"alacritty", true, ColourMode::TrueColour},
        {"wezterm", true, ColourMode::TrueColour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.term);
        const TerminalKind kind = Kind({{"TERM", c.term}});
        EXPECT_TRUE(kind.addressable);
        EXPECT_EQ(kind.rich, c.rich);
        EXPECT_EQ(kind.colours, c.colours);
    }
}

TEST(TerminalKind, ColourtermAndNoColour) {
    EXPECT_EQ(Kind({{"TERM", "screen"}, {"COLORTERM", "truecolor"}}).colours, ColourMode::TrueColour);
    EXPECT_EQ(Kind({{"TERM", "xterm"}, {"COLORTERM", "24bit"}}).colours, ColourMode::TrueColour);
    // A plain terminal stays plain whatever COLORTERM says.
    EXPECT_EQ(Kind({{"TERM", "vt100"}, {"COLORTERM", "truecolor"}}).colours, ColourMode::None);
    // NO_COLOR takes the colours and nothing else; set but empty, it asks for nothing.
    const TerminalKind none = Kind({{"TERM", "xterm-256color"}, {"COLORTERM", "truecolor"}, {"NO_COLOR", "1"}});
    EXPECT_EQ(none.colours, ColourMode::None);
    EXPECT_TRUE(none.rich);
    EXPECT_EQ(Kind({{"TERM", "xterm-256color"}, {"NO_COLOR", ""}}).colours, ColourMode::Palette256);
}

// The database of this machine (ncurses-base and ncurses-term): what it says wins over the names.
TEST(TerminalKind, TheTerminalDatabaseDecidesWhereItHasAnEntry) {
    if (!ReadTerminfo("xterm-256color")) GTEST_SKIP() << "no terminal database";
    // Over SSH COLORTERM is lost: the entry's 256 colours are what the terminal takes.
    const TerminalKind xterm = Kind({{"TERM", "xterm-256color"}}, ReadTerminfo);
    EXPECT_EQ(xterm.colours, ColourMode::Palette256);
    EXPECT_TRUE(xterm.rich && xterm.mouse);
    EXPECT_EQ(xterm.enterScreen.substr(0, 8), "\x1b[?1049h");
    EXPECT_EQ(xterm.hideCursor, "\x1b[?25l");
    EXPECT_EQ(xterm.showCursor.substr(0, 6), "\x1b[?12l");
    EXPECT_EQ(Kind({{"TERM", "xterm-256color"}, {"COLORTERM", "truecolor"}}, ReadTerminfo).colours,
              ColourMode::TrueColour);
    // The RGB flag of a direct-colour entry.
    EXPECT_EQ(Kind({{"TERM", "xterm-direct"}}, ReadTerminfo).colours, ColourMode::TrueColour);
    // The console: eight colours, no alternate screen, and a cursor it can hide.
    const TerminalKind console = Kind({{"TERM", "linux"}}, ReadTerminfo);
    EXPECT_TRUE(console.addressable);
    EXPECT_FALSE(console.rich);
    EXPECT_EQ(console.colours, ColourMode::Basic16);
    EXPECT_EQ(console.enterScreen, "");
    EXPECT_EQ(console.hideCursor, "\x1b[?25l\x1b[?1c");
    // A vt100 cannot hide its cursor, and has no colour.
    const TerminalKind vt100 = Kind({{"TERM", "vt100"}}, ReadTerminfo);
    EXPECT_TRUE(vt100.addressable);
    EXPECT_EQ(vt100.hideCursor, "");
    EXPECT_EQ(vt100.colours, ColourMode::None);
    EXPECT_EQ(Kind({{"TERM", "xterm-256color"}, {"NO_COLOR", "1"}}, ReadTerminfo).colours, ColourMode::None);
    // A name the database lacks is judged by the name.
    EXPECT_EQ(Kind({{"TERM", "wezterm-nightly"}}, ReadTerminfo).colours, ColourMode::TrueColour);
}

TEST(TerminalKind, AnEntryWithoutTheCursorAddressOrAWayBackShowsNoWindowOrKeepsTheCursor) {
    const auto entry = [](TerminfoEntry e) { return [e](const std::string&) { return std::optional(e); }; };
    EXPECT_FALSE(Kind({{"TERM", "printer"}}, entry(TerminfoEntry{})).addressable);
    TerminfoEntry tc;
    tc.cursorAddress = true;
    tc.colours = 256;
    tc.directColour = true;
    tc.hideCursor = "H";
    const TerminalKind kind = Kind({{"TERM", "custom"}}, entry(tc));
    EXPECT_EQ(kind.colours, ColourMode::TrueColour);
    // A cursor that could not be shown again is left alone.
    EXPECT_EQ(kind.hideCursor, "");
}

TEST(TerminalKind, Utf8FromTheFirstLocaleVariableSet) {
    EXPECT_TRUE(Kind({{"TERM", "xterm"}, {"LANG", "de_DE.UTF-8"}}).utf8);
    EXPECT_TRUE(Kind({{"TERM", "linux"}, {"LC_CTYPE", "C.utf8"}, {"LANG", "C"}}).utf8);
    EXPECT_FALSE(Kind({{"TERM", "xterm"}, {"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}}).utf8);
    EXPECT_FALSE(Kind({{"TERM", "xterm"}, {"LC_ALL", ""}, {"LANG", "de_DE.ISO-8859-1"}}).utf8);
}

} // namespace
