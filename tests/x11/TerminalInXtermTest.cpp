// The terminal display in a real terminal emulator: dudez runs inside an xterm on a private X
// server, with no display of its own, and draws its window with characters. What the xterm shows
// is read back as pixels, so the page's colours are seen as a person would see them.
#include <gtest/gtest.h>

#include "tests/support/Process.h"
#include "tests/support/Slowdown.h"
#include "tests/support/StereoKob.h"
#include "tests/support/TempDir.h"

// Xlib's macros (None, Bool, Status) come after every other header.
#include "tests/x11/ServerFixture.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

using testsupport::TempDir;

namespace {

const std::string kXtermTitle = "dudez in a terminal";

class TerminalInXterm : public x11test::ServerFixture {
protected:
    void SetUp() override { StartServer({"Xvfb", "xterm", "xdotool"}); }

    // An xterm of 80 x 24 cells at the top-left, running dudez without a display, so that dudez
    // draws in the xterm's terminal. The title stays the xterm's own.
    void StartInXterm(const std::vector<std::string>& inputs) {
        testsupport::Launch launch;
        launch.argv = {"xterm", "-u8", "-fn", "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso10646-1",
                       "-geometry", "80x24+0+0", "-T", kXtermTitle, "-xrm", "XTerm*allowTitleOps: false",
                       "-e", "env", "-u", "DISPLAY", "TERM=xterm-256color", "COLORTERM=truecolor", "LANG=C.UTF-8",
                       testsupport::DudezBinary()};
        launch.argv.insert(launch.argv.end(), inputs.begin(), inputs.end());
        launch.display = server->Name();
        mPid = testsupport::StartProcess(launch);
    }

    // The number of colours in the xterm's rows of the picture area (6 x 13 pixel cells).
    std::size_t ColoursOfThePage(Window xterm) {
        std::set<std::uint32_t> seen;
        for (int y = 13 + 2; y < 13 * 12; y += 3)
            for (int x = 12; x < 6 * 78; x += 5) seen.insert(server->PixelAt(xterm, x, y));
        return seen.size();
    }

    void Screenshot(Window xterm, const char* variable) {
        if (const char* path = std::getenv(variable)) {
            // For the README only: give the terminal a moment to show the last frame whole.
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            EXPECT_TRUE(server->SaveScreenshot(xterm, path));
        }
    }

    TempDir dir;
};

TEST_F(TerminalInXterm, DrawsThePageInColourAndEndsOnEscape) {
    // A batch in a folder with accented letters, long enough to be looked at while it runs.
    const std::string folder = dir.File("Archive/Bänder_Großmutter/Kassetten_1987");
    std::filesystem::create_directories(folder);
    const std::string kob = testsupport::MakeStereoKob(folder + "/konzert.kob", "Konzert.aif", 44100 * 10);
    StartInXterm(std::vector<std::string>(300, kob));
    const Window xterm = server->WaitForWindow(kXtermTitle);
    ASSERT_NE(xterm, 0u) << "no xterm came up";

    // The page's backdrop and illustration fill the top of the window with many colours; a
    // terminal drawing without colour, or with only its sixteen, would show a handful.
    std::size_t colours = 0;
    for (int attempt = 0; attempt < 200 * int{testsupport::kSlowdown} && colours <= 64; ++attempt) {
        colours = ColoursOfThePage(xterm);
        if (colours <= 64) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_GT(colours, 64u) << "the page is not drawn in colour";
    Screenshot(xterm, "DUDEZ_SCREENSHOT_TERMINAL");

    // Keys go where the pointer is: there is no window manager to give the xterm the focus.
    ASSERT_EQ(server->Xdotool("mousemove 200 100 key Right Right"), 0);
    Screenshot(xterm, "DUDEZ_SCREENSHOT_TERMINAL_PAGE");

    // Escape, typed into the xterm, ends the program mid-batch and with it the xterm.
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        server->Xdotool("mousemove 200 100 key Escape");
        ended = testsupport::WaitForExit(mPid, 100 * int{testsupport::kSlowdown}, false) != -1;
    }
    ASSERT_TRUE(ended) << "the program did not end on Escape";
    mPid = -1;
}

} // namespace
