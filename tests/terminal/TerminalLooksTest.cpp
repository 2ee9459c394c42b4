// How the window looks in terminals of every kind and size: the end of a long file name with its
// accents, every control in a narrow terminal and a note in one too small, the words of the
// pages, and colours only where the terminal and the user allow them.
#include "tests/terminal/TerminalFixture.h"

#include <filesystem>
#include <regex>
#include <sstream>

namespace {

using terminaltest::MakeKob;
using Terminal = terminaltest::Terminal;

constexpr std::uint32_t kFrames = 44100 * 10;
const std::string kEllipsis = "\u2026";
const std::string kReplacement = "\uFFFD";

// A batch in a folder with accented letters and a byte that is not UTF-8, long enough to be
// looked at while it runs.
std::vector<std::string> BatchInAnArchive(const testsupport::TempDir& dir, std::size_t count) {
    const std::string folder = dir.File("Archive/Bänder_Großmutter/\xff");
    std::filesystem::create_directories(folder);
    MakeKob(folder + "/konzert.kob", "Konzert.aif", kFrames);
    return std::vector<std::string>(count, folder + "/konzert.kob");
}

// Whether any SGR sequence on the screen sets a colour (foreground or background, of any kind);
// going back to the terminal's own colours (39, 49) is none, tmux writes it after every reset.
bool AnyColour(const std::string& screen) {
    static const std::regex sgr("\x1b\\[([0-9;:]*)m");
    for (std::sregex_iterator it(screen.begin(), screen.end(), sgr), end; it != end; ++it) {
        std::stringstream parameters((*it)[1].str());
        std::string parameter;
        while (std::getline(parameters, parameter, ';')) {
            const int value = parameter.empty() ? 0 : std::atoi(parameter.c_str());
            if ((value >= 30 && value <= 48 && value != 39) || (value >= 90 && value <= 107)) return true;
        }
    }
    return false;
}

// The screen's line that holds `text`; empty when none does.
std::string LineWith(const std::string& screen, const std::string& text) {
    const std::size_t at = screen.find(text);
    if (at == std::string::npos) return "";
    const std::size_t start = screen.rfind('\n', at);
    return screen.substr(start == std::string::npos ? 0 : start + 1, screen.find('\n', at) - (start == std::string::npos ? 0 : start + 1));
}

TEST_F(Terminal, NarrowTerminalShowsEveryControlAndTheEndOfTheFileName) {
    Tmux("resize-window -x 40 -y 12");
    StartDudez(BatchInAnArchive(dir, 300 / testsupport::kSlowdown));
    // Caption, page, credit, the file name's end (the accents, the mark for the bad byte, the
    // file), the total, the bar and the three buttons, inside the frame's bottom corner.
    const std::string nameEnd = "ßmutter/" + kReplacement + "/konzert";
    ASSERT_TRUE(WaitForAll({"MORVIT DuDEZ", "Welcome to DUDEZ", "(c) MORVIT", nameEnd, "1764000", "\u2588",
                            "[Previous]", "[  Next  ]", "[ Abort  ]", "\u2518"}))
        << mLast;
    const std::string nameLine = LineWith(mLast, nameEnd);
    EXPECT_NE(nameLine.find("\u2502 " + kEllipsis), std::string::npos) << "the name is not cut on the left\n" << mLast;
    EXPECT_NE(nameLine.find(".wav \u2502"), std::string::npos) << "the name's end is not shown\n" << mLast;

    // Too small for the window: one line says so, the file name's end is still there; larger
    // again, the window comes back. The program works on throughout.
    Tmux("resize-window -x 24 -y 8");
    ASSERT_TRUE(WaitForAll({"Too small, needs 36x7", kEllipsis, ".wav"})) << mLast;
    EXPECT_EQ(mLast.find("MORVIT"), std::string::npos) << mLast;
    // (The batch may have ended meanwhile: the button then reads Done.)
    Tmux("resize-window -x 40 -y 12");
    ASSERT_TRUE(WaitForAll({"MORVIT DuDEZ", "[Previous]", "\u2518"})) << mLast;
    Key("Escape");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
}

TEST_F(Terminal, PagesAreShownAsTheirWordsAndPageWithTheKeys) {
    MakeKob(dir.File("a.kob"), "A.aif", 1000);
    StartDudez({dir.File("a.kob")});
    ASSERT_TRUE(WaitForAll({"Done", "Welcome to DUDEZ", "1/9", "DUDEZ restores the sound held in KOB files."})) << mLast;
    Key("Right");
    ASSERT_TRUE(WaitForAll({"Damaged blocks", "2/9", "Every block is checked"})) << mLast;
    Key("Left");
    Key("Left");
    ASSERT_TRUE(WaitForAll({"When a file fails", "9/9", "A file that is not a KOB file"})) << mLast;
    Key("Enter");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
}

TEST_F(Terminal, ColoursOnlyWhereTheTerminalAndTheUserAllowThem) {
    MakeKob(dir.File("a.kob"), "A.aif", 1000);
    struct Case {
        std::vector<std::string> environment;
        std::string wanted;     // a colour sequence the screen must hold; empty: none at all
        std::string unwanted;   // one it must not
    };
    const Case cases[] = {
        {{"-u", "COLORTERM", "TERM=xterm-256color"}, "48;5;", "48;2;"},
        {{"TERM=xterm-256color", "COLORTERM=truecolor"}, "48;2;", ""},
        {{"TERM=xterm-256color", "COLORTERM=truecolor", "NO_COLOR=1"}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.environment.back());
        StartDudez({dir.File("a.kob")}, c.environment);
        ASSERT_TRUE(WaitForAll({"Done", "Welcome to DUDEZ", "DUDEZ restores the sound"})) << mLast;
        EXPECT_TRUE(AlternateScreen());
        const std::string screen = ScreenWithColours();
        if (c.wanted.empty()) {
            EXPECT_FALSE(AnyColour(screen)) << screen;
        } else {
            EXPECT_NE(screen.find(c.wanted), std::string::npos) << screen;
        }
        if (!c.unwanted.empty()) {
            EXPECT_EQ(screen.find(c.unwanted), std::string::npos) << screen;
        }
        Key("Enter");
        ASSERT_TRUE(WaitForShellAgain()) << mLast;
        Tmux("send-keys C-l");
        Tmux("clear-history");
    }
}

TEST_F(Terminal, PlainTerminalsGetAPlainWindowAndADumbOneNone) {
    MakeKob(dir.File("a.kob"), "A.aif", 1000);
    // vt100: the window in ASCII on the main screen, without colour or mouse reports.
    StartDudez({dir.File("a.kob")}, {"TERM=vt100"});
    ASSERT_TRUE(WaitForAll({"MORVIT DuDEZ", "Welcome to DUDEZ", "Done", "+-----"})) << mLast;
    EXPECT_FALSE(AlternateScreen());
    EXPECT_EQ(Tmux("display-message -p '#{mouse_any_flag}#{mouse_sgr_flag}'"), "00\n");
    EXPECT_FALSE(AnyColour(ScreenWithColours())) << ScreenWithColours();
    EXPECT_EQ(mLast.find("\u2500"), std::string::npos) << "line-drawing characters on a vt100\n" << mLast;
    Key("Enter");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;

    // The console: no alternate screen either, but its entry says how to hide the cursor, which
    // stays hidden while the window is up and comes back after.
    StartDudez({dir.File("a.kob")}, {"TERM=linux"});
    ASSERT_TRUE(WaitForAll({"MORVIT DuDEZ", "Welcome to DUDEZ", "Done"})) << mLast;
    EXPECT_FALSE(AlternateScreen());
    EXPECT_EQ(Tmux("display-message -p '#{cursor_flag}'"), "0\n") << "the cursor shows on the console";
    Key("Enter");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
    EXPECT_EQ(Tmux("display-message -p '#{cursor_flag}'"), "1\n") << "the cursor stayed hidden";

    // dumb: no window at all; the program runs as without any display and ends by itself.
    testsupport::WriteFileText(scripts.File("dumb.sh"),
                               "env TERM=dumb " + terminaltest::Quote(testsupport::DudezBinary()) + " " +
                                   terminaltest::Quote(dir.File("a.kob")) + "; echo \"DUMB\"\"-ENDED-$?\"\n");
    Type("sh " + terminaltest::Quote(scripts.File("dumb.sh")));
    ASSERT_TRUE(WaitForText("DUMB-ENDED-0")) << mLast;
    EXPECT_EQ(mLast.find("MORVIT"), std::string::npos) << mLast;
    EXPECT_TRUE(testsupport::FileExists(dir.File("a.wav")));
}

} // namespace
