// The terminal display in a real terminal emulator: dudez runs inside an xterm on a private X
// server, with no display of its own, and draws its window with characters. What the xterm shows
// is read back as pixels, so the picture's colours are seen as a person would see them.
#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

// Xlib's macros (None, Bool, Status) come after every other header.
#include "tests/x11/XServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

using testsupport::TempDir;

namespace {

const std::string kXtermTitle = "dudez in a terminal";

std::string Binary() {
#ifdef DUDEZ_BINARY
    return DUDEZ_BINARY;
#else
    return "";
#endif
}

class TerminalInXterm : public testing::Test {
protected:
    void SetUp() override {
        if (Binary().empty()) GTEST_SKIP() << "the dudez program was not built";
        if (std::system("command -v Xvfb >/dev/null 2>&1 && command -v xterm >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "Xvfb or xterm is not installed";
        server = std::make_unique<x11test::XServer>();
        ASSERT_TRUE(server->Running()) << "Xvfb did not start";
    }
    void TearDown() override {
        if (mPid > 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
    }

    // An xterm of 100 x 19 cells (the window and a line to spare) at the top-left, running dudez without a display, so that
    // dudez draws in the xterm's terminal. The title stays the xterm's own.
    void StartInXterm(const std::string& input) {
        const std::string display = server->Name();
        const std::string binary = Binary();
        mPid = fork();
        if (mPid == 0) {
            setsid();
            setenv("DISPLAY", display.c_str(), 1);
            execlp("xterm", "xterm", "-u8", "-fn", "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso10646-1", "-geometry", "100x19+0+0", "-T", kXtermTitle.c_str(),
                   "-xrm", "XTerm*allowTitleOps: false", "-e", "env", "-u", "DISPLAY", "COLORTERM=truecolor",
                   "LANG=C.UTF-8", binary.c_str(), input.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    std::unique_ptr<x11test::XServer> server;
    TempDir dir;
    pid_t mPid = -1;
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
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        // Keys go where the pointer is: there is no window manager to give the xterm the focus.
        server->Xdotool("mousemove 200 100 key Return");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ended = waitpid(mPid, &status, WNOHANG) == mPid;
    }
    ASSERT_TRUE(ended) << "the program did not end on Return";
    mPid = -1;
    EXPECT_TRUE(std::filesystem::exists(dir.File("welcome.wav")));
}

} // namespace
