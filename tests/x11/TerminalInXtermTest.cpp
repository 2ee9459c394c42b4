// The terminal display in a real terminal emulator: dudez runs inside an xterm on a private X
// server, with no display of its own, and draws its window with characters. What the xterm shows
// is read back as pixels, so the picture's colours are seen as a person would see them.
#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

// Xlib's macros (None, Bool, Status) come after every other header.
#include "tests/x11/ServerFixture.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

using testsupport::TempDir;

namespace {

const std::string kXtermTitle = "dudez in a terminal";

class TerminalInXterm : public x11test::ServerFixture {
protected:
    void SetUp() override { StartServer({"Xvfb", "xterm"}); }

    // An xterm of 100 x 19 cells (the window and a line to spare) at the top-left, running
    // dudez without a display, so that dudez draws in the xterm's terminal. The title stays the
    // xterm's own.
    void StartInXterm(const std::string& input) {
        testsupport::Launch launch;
        launch.argv = {"xterm", "-u8", "-fn", "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso10646-1",
                       "-geometry", "100x19+0+0", "-T", kXtermTitle, "-xrm", "XTerm*allowTitleOps: false",
                       "-e", "env", "-u", "DISPLAY", "COLORTERM=truecolor", "LANG=C.UTF-8",
                       testsupport::DudezBinary(), input};
        launch.display = server->Name();
        mPid = testsupport::StartProcess(launch);
    }

    TempDir dir;
};

TEST_F(TerminalInXterm, DrawsThePictureInColourAndEndsOnReturn) {
    const char* source = std::getenv("DUDEZ_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "DUDEZ_SOURCE_DIR does not name the source tree";
    const std::string input = dir.File("demo.kob");
    std::filesystem::copy_file(std::string(source) + "/tools/samples/demo.kob", input);
    StartInXterm(input);
    const Window xterm = server->WaitForWindow(kXtermTitle);
    ASSERT_NE(xterm, 0u) << "no xterm came up";

    // The picture fills the top of the window with many colours; a terminal drawing without
    // colour, or with only its sixteen, would show a handful. 6 x 13 pixel cells, the picture in
    // the rows below the caption.
    std::size_t colours = 0;
    for (int attempt = 0; attempt < 200 && colours <= 64; ++attempt) {
        std::set<std::uint32_t> seen;
        for (int y = 13 + 2; y < 13 * 12; y += 3)
            for (int x = 12; x < 6 * 96; x += 5) seen.insert(server->PixelAt(xterm, x, y));
        colours = seen.size();
        if (colours <= 64) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_GT(colours, 64u) << "the picture is not drawn in colour";

    if (const char* path = std::getenv("DUDEZ_SCREENSHOT_TERMINAL")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_TRUE(server->SaveScreenshot(xterm, path));
    }

    // The demo converts in a moment; then Return, typed into the xterm, closes the program and
    // with it the xterm.
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        // Keys go where the pointer is: there is no window manager to give the xterm the focus.
        server->Xdotool("mousemove 200 100 key Return");
        ended = testsupport::WaitForExit(mPid, 100, false) != -1;
    }
    ASSERT_TRUE(ended) << "the program did not end on Return";
    mPid = -1;
    EXPECT_TRUE(std::filesystem::exists(dir.File("welcome.wav")));
}

} // namespace
