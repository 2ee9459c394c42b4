// The window drawn into a frame of cells at every size: every control where it can be seen and
// clicked, the file name's end, a note when the terminal is too small, the page's words.
#include "ui/terminal/TerminalLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace platform::display::terminal;
using namespace ui::terminal;

// The frame's rows as text; the right half of a wide character adds nothing.
std::vector<std::string> Rows(const CellFrame& frame) {
    std::vector<std::string> rows;
    for (int y = 0; y < frame.Rows(); ++y) {
        std::string row;
        for (int x = 0; x < frame.Columns(); ++x) row += frame.At(x, y).glyph;
        rows.push_back(row);
    }
    return rows;
}

std::string Screen(const CellFrame& frame) {
    std::string screen;
    for (const std::string& row : Rows(frame)) screen += row + "\n";
    return screen;
}

WindowScene Scene() {
    WindowScene scene;
    scene.present = true;
    scene.caption = "MORVIT DuDEZ Version 1.0.1";
    scene.credit = "(c) MORVIT";
    scene.fileName = "/home/user/Archive/B\xC3\xA4nder_Gro\xC3\x9Fmutter/Kassetten 1987/konzert.wav";
    scene.total = "1764000044";
    scene.rangeHigh = 100;
    scene.position = 50;
    scene.previous.text = "Previous";
    scene.next.text = "Next";
    scene.finish.text = "Abort";
    scene.previous.window = reinterpret_cast<HWND>(1);
    scene.next.window = reinterpret_cast<HWND>(2);
    scene.finish.window = reinterpret_cast<HWND>(3);
    return scene;
}

TEST(TerminalLayout, EveryControlIsSeenAndCanBeClickedAtEverySize) {
    const WindowScene scene = Scene();
    for (auto [columns, rows] : {std::pair{36, 7}, {40, 12}, {60, 20}, {80, 24}, {87, 24}, {88, 24}, {100, 32}, {200, 60}}) {
        SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
        for (bool glyphs : {true, false}) {
            CellFrame frame(columns, rows, glyphs);
            const Layout layout = DrawScreen(frame, scene, std::nullopt, Look{glyphs, true});
            const std::string screen = Screen(frame);
            for (const char* text : {"MORVIT DuDEZ", "(c) MORVIT", "1764000044", "Previous", "Next", "Abort"})
                EXPECT_NE(screen.find(text), std::string::npos) << text << "\n" << screen;
            EXPECT_NE(screen.find("/konzert.wav "), std::string::npos) << screen;
            EXPECT_NE(screen.find(glyphs ? "\u2588" : "#"), std::string::npos) << "no bar\n" << screen;
            // The three buttons, each whole on the screen, none over another or over the frame.
            ASSERT_EQ(layout.targets.size(), 3u);
            for (std::size_t i = 0; i < 3; ++i) {
                const Layout::Target& t = layout.targets[i];
                EXPECT_GE(t.column, 1);
                EXPECT_LE(t.column + t.width, std::min(columns, 120) - 1);
                EXPECT_LT(t.row, rows - 1);
                EXPECT_EQ(layout.Hit(t.column + t.width - 1, t.row), static_cast<int>(i));
                for (std::size_t j = 0; j < i; ++j) {
                    const Layout::Target& u = layout.targets[j];
                    EXPECT_TRUE(t.row != u.row || t.column >= u.column + u.width || u.column >= t.column + t.width);
                }
            }
        }
    }
}

TEST(TerminalLayout, EachButtonClicksTheControlItNamesInTheWindowsOrder) {
    const WindowScene scene = Scene();
    const std::pair<HWND, std::string> buttons[] = {
        {scene.previous.window, "Previous"}, {scene.next.window, "Next"}, {scene.finish.window, "Abort"}};
    for (auto [columns, rows] : {std::pair{36, 7}, {40, 12}, {80, 24}, {120, 40}}) {
        SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
        CellFrame frame(columns, rows, false);
        const Layout layout = DrawScreen(frame, scene, std::nullopt, Look{false, true});
        const std::vector<std::string> lines = Rows(frame);
        int previousColumn = -1, nextColumn = -1;
        for (const auto& [window, label] : buttons) {
            const auto target = std::find_if(layout.targets.begin(), layout.targets.end(),
                                             [&](const Layout::Target& t) { return t.window == window; });
            ASSERT_NE(target, layout.targets.end()) << label << " takes no clicks";
            const std::string under = lines[static_cast<std::size_t>(target->row)].substr(
                static_cast<std::size_t>(target->column), static_cast<std::size_t>(target->width));
            EXPECT_NE(under.find(label), std::string::npos) << label << " is not under its own target: " << under;
            if (label == "Previous") previousColumn = target->column;
            if (label == "Next") nextColumn = target->column;
        }
        EXPECT_LT(previousColumn, nextColumn) << "Previous stands left of Next";
    }
}

TEST(TerminalLayout, TheFileNameFieldShowsTheNamesEnd) {
    WindowScene scene = Scene();
    CellFrame frame(40, 12);
    DrawScreen(frame, scene, std::nullopt, Look{true, true});
    const std::string screen = Screen(frame);
    // 36 cells: the ellipsis and the name's last 35 characters, accents and all.
    EXPECT_NE(screen.find("\u2502 \u2026o\xC3\x9Fmutter/Kassetten 1987/konzert.wav \u2502"), std::string::npos) << screen;
    // A short name is shown whole, from the left.
    scene.fileName = "/tmp/b.wav";
    DrawScreen(frame, scene, std::nullopt, Look{true, true});
    EXPECT_NE(Screen(frame).find("\u2502 /tmp/b.wav   "), std::string::npos) << Screen(frame);
}

TEST(TerminalLayout, TooSmallForTheWindowSaysSoAndStillNamesTheFile) {
    for (auto [columns, rows] : {std::pair{35, 12}, {40, 6}, {12, 4}}) {
        SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
        CellFrame frame(columns, rows);
        const Layout layout = DrawScreen(frame, Scene(), std::nullopt, Look{true, true});
        const std::vector<std::string> lines = Rows(frame);
        EXPECT_EQ(lines[0].rfind(std::string("Too small, needs 36x7").substr(0, static_cast<std::size_t>(columns)), 0), 0u)
            << lines[0];
        EXPECT_NE(lines[1].find("wav"), std::string::npos) << lines[1];
        EXPECT_TRUE(layout.targets.empty()) << "buttons that cannot be seen whole take no clicks";
    }
}

TEST(TerminalLayout, APageIsShownAsItsWordsAndCutWithAnEllipsis) {
    const auto page = ParsePageText("Keys at hand\n#000000 #202020 #ffffff #e0e0e0 #ffe000\n3/9\n\n"
                                    "{Left} or {Page Up}: the previous page\n{Right} or {Page Down}: the next page\n"
                                    "{Escape}: ends DUDEZ at any time\n");
    ASSERT_TRUE(page);
    WindowScene scene = Scene();
    scene.page = &*page;
    CellFrame wide(100, 32);
    DrawScreen(wide, scene, std::nullopt, Look{true, true});
    std::string screen = Screen(wide);
    for (const char* text : {"Keys at hand", "3/9", "Left or Page Up: the previous page", "Escape: ends DUDEZ at any time"})
        EXPECT_NE(screen.find(text), std::string::npos) << text << "\n" << screen;
    // The marked words in the accent colour, the rest in the body's.
    bool found = false;
    for (int y = 0; y < wide.Rows() && !found; ++y) {
        for (int x = 0; x + 5 < wide.Columns() && !found; ++x) {
            if (std::string(wide.At(x, y).glyph) != "L" || std::string(wide.At(x + 5, y).glyph) != "o") continue;
            found = true;
            EXPECT_EQ(wide.At(x, y).foreground, 0xFFE000);       // "Left"
            EXPECT_EQ(wide.At(x + 5, y).foreground, 0xE0E0E0);   // "or"
        }
    }
    EXPECT_TRUE(found) << screen;

    // Three rows for the title and three lines: the gap under the title goes, and the last row
    // shown says that more follows.
    CellFrame narrow(40, 9);
    DrawScreen(narrow, scene, std::nullopt, Look{true, true});
    screen = Screen(narrow);
    EXPECT_NE(screen.find("Keys at hand"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\u2502 Left or Page Up: the previous page   \u2502"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\u2502 Right or Page Down: the next page\u2026   \u2502"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("Escape"), std::string::npos) << screen;
}

TEST(TerminalLayout, AMessageBoxFitsASmallTerminal) {
    CellFrame frame(40, 12);
    const Layout layout = DrawScreen(frame, Scene(),
                                     BoxContent{"/home/user/B\xC3\xA4nder/a-rather-long-name.kob is not a KOB file or corrupted", "Error"},
                                     Look{true, true});
    const std::string screen = Screen(frame);
    EXPECT_NE(screen.find("B\xC3\xA4nder"), std::string::npos) << screen;
    EXPECT_NE(screen.find("corrupted"), std::string::npos) << screen;
    ASSERT_FALSE(layout.targets.empty());
    const Layout::Target& ok = layout.targets.back();
    EXPECT_TRUE(ok.isBoxButton);
    EXPECT_LT(ok.row, 12);
    EXPECT_NE(Rows(frame)[static_cast<std::size_t>(ok.row)].find("OK"), std::string::npos) << screen;
}

} // namespace
