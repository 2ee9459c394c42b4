// What the terminal display makes of TERM, COLORTERM, NO_COLOR and the locale.
#include "platform/display/terminal/TerminalKind.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace platform::display::terminal;

TerminalKind Kind(const std::map<std::string, std::string>& environment) {
    return KindOfTerminal([&](const char* name) -> const char* {
        auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    });
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

TEST(TerminalKind, Utf8FromTheFirstLocaleVariableSet) {
    EXPECT_TRUE(Kind({{"TERM", "xterm"}, {"LANG", "de_DE.UTF-8"}}).utf8);
    EXPECT_TRUE(Kind({{"TERM", "linux"}, {"LC_CTYPE", "C.utf8"}, {"LANG", "C"}}).utf8);
    EXPECT_FALSE(Kind({{"TERM", "xterm"}, {"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}}).utf8);
    EXPECT_FALSE(Kind({{"TERM", "xterm"}, {"LC_ALL", ""}, {"LANG", "de_DE.ISO-8859-1"}}).utf8);
}

} // namespace
