// The dudez program shown on a private X server: its window, its picture, keys and clicks sent
// with xdotool, and the message box for a bad file.
#include <gtest/gtest.h>

#include "platform/runtime/Kernel.h"
#include "platform/resources/Resources.h"
#include "resources/ProgramResources.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/Slowdown.h"
#include "tests/support/StereoKob.h"
#include "tests/support/TempDir.h"

// Xlib's macros (None, Bool, Status) come after every other header.
#include "tests/x11/ServerFixture.h"
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

using testsupport::FileExists;
using testsupport::ListDir;
using testsupport::TempDir;

namespace {

const std::string kTitle = "MORVIT DuDEZ Version 1.0.1";

// Where the window's controls lie, in pixels (the template's dialog units at 2 pixels each).
constexpr int kPictureX = 14, kPictureY = 14;
constexpr int kPreviousX = 306, kNextX = 380, kButtonsY = 176;

using testsupport::MakeStereoKob;

constexpr std::uint32_t kLongFrames = 44100 * 10;
constexpr std::size_t kLongBatchFiles = 40;

// A batch that is still in the middle of a file when the test acts, however fast the program
// is: one file named many times over, the program held at a file call in about its tenth file
// (StartHeld) until it is ended.
std::vector<std::string> LongBatch(const TempDir& dir) {
    const std::string big = MakeStereoKob(dir.File("big.kob"), "Big.aif", kLongFrames);
    return std::vector<std::string>(kLongBatchFiles, big);
}

// Every output in `dir` is complete: what stopping the program leaves behind is never a cut-off file.
void ExpectOnlyCompleteOutputs(const TempDir& dir) {
    for (const std::string& name : ListDir(dir.Path())) {
        if (name == "big.kob") continue;
        EXPECT_EQ(std::filesystem::file_size(dir.File(name)), 44u + kLongFrames * 4u) << name;
    }
}

// The colour picture `id`'s resource gives its pixel at (x, y) from the top.
std::uint32_t ResourcePixel(int id, int x, int y) {
    RegisterPictures();
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCE(id), RT_BITMAP);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    const std::uint8_t* table = bytes + 40;
    const std::uint8_t index = bytes[40 + 1024 + (119 - y) * 400 + x];
    return (std::uint32_t{table[4 * index + 2]} << 16) | (std::uint32_t{table[4 * index + 1]} << 8) |
           table[4 * index];
}

// Two pixels of the picture that tell pictures 120 and 116 apart.
struct Probe {
    int x = 0, y = 0;
};
Probe Distinguishing() {
    for (int y = 0; y < 120; y += 3)
        for (int x = 0; x < 400; x += 7)
            if (ResourcePixel(120, x, y) != ResourcePixel(116, x, y)) return {x, y};
    return {};
}

class X11Display : public x11test::ServerFixture {
protected:
    void SetUp() override { StartServer({"Xvfb"}); }

    // Starts dudez on the private server, in a session of its own (no terminal: the window is
    // asked for, as the desktop entry does), its output streams in files.
    void Start(const std::vector<std::string>& names, const char* window = "--window", bool held = false) {
        testsupport::Launch launch;
        launch.argv = {held ? testsupport::HookedDudezBinary() : testsupport::DudezBinary(), window};
        if (held) launch.environment = {{testsupport::kHookVariable, testsupport::HeldAtWrite(20)}};
        launch.argv.insert(launch.argv.end(), names.begin(), names.end());
        launch.display = server->Name();
        launch.stdoutPath = logs.File("stdout.txt");
        launch.stderrPath = logs.File("stderr.txt");
        mPid = testsupport::StartProcess(launch);
    }
    // The long batch, held in its middle.
    void StartHeld(const TempDir& batch) { Start(LongBatch(batch), "--window", true); }

    // The exit code, or -1 if the program is still running after the timeout.
    int WaitForExit(int timeoutMs) {
        const int code = testsupport::WaitForExit(mPid, timeoutMs, false);
        if (code != -1) mPid = -1;
        return code;
    }

    // The main window, once it shows the first picture.
    Window MainWindow() {
        const Window window = server->WaitForWindow(kTitle);
        if (window) server->WaitForPixel(window, kPictureX * unit, kPictureY * unit, ResourcePixel(120, 0, 0));
        return window;
    }

    // Whether the picture control comes to show `picture` (tested at `at`) within the timeout.
    // A sanitizer build on a busy machine can take many seconds to handle a key and draw.
    bool Shows(Window window, int picture, Probe at, int timeoutMs = 5000 * int{testsupport::kSlowdown}) {
        return server->WaitForPixel(window, (kPictureX + at.x) * unit, (kPictureY + at.y) * unit,
                                    ResourcePixel(picture, at.x, at.y), timeoutMs);
    }

    // Clicks at a point of the window at the 96-dpi layout's coordinates.
    int Click(int x, int y) {
        return server->Xdotool("mousemove " + std::to_string(x * unit) + " " + std::to_string(y * unit) + " click 1");
    }

    int unit = 1;   // the screen's pixels for one of the 96-dpi layout's

    TempDir dir;
    TempDir logs;
};

// At 96 dpi and on a HiDPI screen whose desktop says Xft.dpi: 192, where the whole window, its
// layout and its picture (each pixel a 2 x 2 square) come out twice as large.
TEST_F(X11Display, WindowShowsTitleFixedSizeAndPagesByKeyAndClickAtEachScale) {
    for (const int dpi : {96, 192}) {
        SCOPED_TRACE("Xft.dpi " + std::to_string(dpi));
        unit = dpi / 96;
        server->SetResources("Xft.dpi:\t" + std::to_string(dpi) + "\n");
        TempDir batch;
        StartHeld(batch);
        const Window window = MainWindow();
        ASSERT_NE(window, 0u) << "no window titled " << kTitle;

        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(server->Connection(), window, &attributes));
        EXPECT_EQ(attributes.width, 430 * unit);
        EXPECT_EQ(attributes.height, 238 * unit);
        XSizeHints hints{};
        long supplied = 0;
        ASSERT_TRUE(XGetWMNormalHints(server->Connection(), window, &hints, &supplied));
        EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
        // No place asked for: the window manager places the window.
        EXPECT_EQ(hints.flags & (USPosition | PPosition), 0);
        EXPECT_EQ(hints.min_width, 430 * unit);
        EXPECT_EQ(hints.max_width, 430 * unit);
        EXPECT_EQ(hints.min_height, 238 * unit);
        EXPECT_EQ(hints.max_height, 238 * unit);

        // The picture starts at the control's corner, and the control cuts it at its own edges;
        // each of its pixels covers unit x unit of the screen's.
        const int left = kPictureX * unit, top = kPictureY * unit;
        EXPECT_EQ(server->PixelAt(window, left, top), ResourcePixel(120, 0, 0));
        for (const Probe p : {Probe{399, 119}, Probe{133, 57}, Probe{250, 90}}) {
            for (int dy = 0; dy < unit; ++dy)
                for (int dx = 0; dx < unit; ++dx)
                    EXPECT_EQ(server->PixelAt(window, left + p.x * unit + dx, top + p.y * unit + dy),
                              ResourcePixel(120, p.x, p.y))
                        << p.x << "," << p.y << " +" << dx << "," << dy;
        }
        EXPECT_EQ(server->PixelAt(window, left + 400 * unit, top + 60 * unit), 0xC0C0C0u);

        const Probe probe = Distinguishing();
        ASSERT_EQ(server->Xdotool("key Right"), 0);
        EXPECT_TRUE(Shows(window, 116, probe)) << "Right did not step forward";
        ASSERT_EQ(server->Xdotool("key Prior"), 0);
        EXPECT_TRUE(Shows(window, 120, probe)) << "Page Up did not step back";
        ASSERT_EQ(Click(kNextX, kButtonsY), 0);
        EXPECT_TRUE(Shows(window, 116, probe)) << "a click on Next did not step forward";
        ASSERT_EQ(Click(kPreviousX, kButtonsY), 0);
        EXPECT_TRUE(Shows(window, 120, probe)) << "a click on Previous did not step back";
        ASSERT_EQ(Click(kPreviousX, kButtonsY), 0);
        EXPECT_TRUE(Shows(window, 124, Probe{})) << "Previous from the first picture did not wrap";

        // Return does nothing while the batch runs; Escape ends the program mid-file.
        ASSERT_EQ(server->Xdotool("key Return"), 0);
        EXPECT_EQ(WaitForExit(500), -1) << "Return ended the program while it was working";
        ASSERT_EQ(server->Xdotool("key Escape"), 0);
        EXPECT_EQ(WaitForExit(10000), 1) << "ended before Done: no success";
        EXPECT_LT(ListDir(batch.Path()).size(), kLongBatchFiles + 1) << "the batch was over before Escape";
        ExpectOnlyCompleteOutputs(batch);
    }
}

TEST_F(X11Display, ReturnClosesOnceTheBatchIsDone) {
    Start({MakeStereoKob(dir.File("small.kob"), "Small.aif", 2000)});
    ASSERT_NE(MainWindow(), 0u);
    // Return closes only once the button reads "Done"; until then it is ignored.
    int code = -1;
    for (int i = 0; i < 100 && code == -1; ++i) {
        server->Xdotool("key Return");
        code = WaitForExit(100);
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(std::filesystem::file_size(dir.File("small.wav")), 44u + 2000u * 4u);
    // The report comes once the window is gone, as in every mode.
    EXPECT_EQ(testsupport::ReadFileText(logs.File("stdout.txt")),
              dir.File("small.kob") + ": wrote " + dir.File("small.wav") +
                  "\ndudez: 1 name, 1 converted (0 with damage), 0 not a KOB file or corrupted, 0 could not be opened, "
                  "0 not converted\n");
}

// A display is there but nobody asked for a window and no terminal is there to watch
// (`ssh -X host 'find ... | xargs dudez'`, a systemd unit, `setsid dudez x.kob </dev/null`): the
// run is headless and ends by itself.
TEST_F(X11Display, NoWindowUnlessAskedWhenNoTerminalWatches) {
    testsupport::WriteFileText(dir.File("bad.kob"), "not a kob");
    Start({MakeStereoKob(dir.File("small.kob"), "Small.aif", 2000), dir.File("bad.kob")}, "--");
    EXPECT_EQ(WaitForExit(20000 * int{testsupport::kSlowdown}), 1) << "the run waited for someone";
    EXPECT_EQ(std::filesystem::file_size(dir.File("small.wav")), 44u + 2000u * 4u);
    EXPECT_EQ(testsupport::ReadFileText(logs.File("stderr.txt")),
              "Error: " + dir.File("bad.kob") + " is not a KOB file or corrupted\n");
}

TEST_F(X11Display, WindowManagerCloseEndsTheProgram) {
    StartHeld(dir);
    const Window window = MainWindow();
    ASSERT_NE(window, 0u);
    Display* connection = server->Connection();
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection, window, False, NoEventMask, &close);
    XFlush(connection);
    EXPECT_EQ(WaitForExit(10000), 1) << "ended before Done: no success";
    EXPECT_LT(ListDir(dir.Path()).size(), kLongBatchFiles + 1);
    ExpectOnlyCompleteOutputs(dir);
}

TEST_F(X11Display, AWindowDestroyedFromOutsideEndsTheProgramLikeClose) {
    StartHeld(dir);
    const Window window = MainWindow();
    ASSERT_NE(window, 0u);
    // What `xdotool windowclose` does: another client destroys the window.
    XDestroyWindow(server->Connection(), window);
    XFlush(server->Connection());
    const int code = WaitForExit(10000 * int{testsupport::kSlowdown});
    ASSERT_NE(code, -1) << "the program went on without its window";
    EXPECT_EQ(code, 1) << "ended before Done, like Close";
    EXPECT_LT(ListDir(dir.Path()).size(), kLongBatchFiles + 1) << "the batch was over before the window went";
    ExpectOnlyCompleteOutputs(dir);
}

TEST_F(X11Display, LosingTheDisplayMidBatchLeavesOnlyCompleteOutputs) {
    StartHeld(dir);
    ASSERT_NE(MainWindow(), 0u);
    server->Kill();
    const int code = WaitForExit(10000 * int{testsupport::kSlowdown});
    ASSERT_NE(code, -1) << "the program went on without its display";
    EXPECT_LT(ListDir(dir.Path()).size(), kLongBatchFiles + 1) << "the batch was over before the display went";
    ExpectOnlyCompleteOutputs(dir);
    // The program ends through its own exit, as if the window had been closed: one line on
    // standard error saying why, the report, and the status of a run ended before Done.
    EXPECT_EQ(code, 1) << "losing the display is an end before Done";
    EXPECT_EQ(testsupport::ReadFileText(logs.File("stderr.txt")),
              "dudez: the connection to the X display was lost; stopping\n");
    const std::string report = testsupport::ReadFileText(logs.File("stdout.txt"));
    EXPECT_NE(report.find("not converted: the program was stopped"), std::string::npos) << report;
}

TEST_F(X11Display, BadFileRaisesTheBoxAndTheWindowWaitsForIt) {
    testsupport::WriteFileText(dir.File("bad.kob"), "not a kob");
    Start({dir.File("bad.kob"), MakeStereoKob(dir.File("big.kob"), "Big.aif", kLongFrames)});
    const Window window = MainWindow();
    ASSERT_NE(window, 0u);
    const Window box = server->WaitForWindow("Error");
    ASSERT_NE(box, 0u) << "no message box came up";
    Window owner = 0;
    EXPECT_TRUE(XGetTransientForHint(server->Connection(), box, &owner));
    EXPECT_EQ(owner, window);

    // Keys sent to the main window are dropped while the box is up.
    const Probe probe = Distinguishing();
    ASSERT_EQ(server->Xdotool("key --window " + std::to_string(window) + " Right Escape"), 0);
    EXPECT_FALSE(Shows(window, 116, probe, 5000));
    EXPECT_EQ(WaitForExit(300), -1) << "Escape reached the window under the box";
    EXPECT_FALSE(FileExists(dir.File("big.wav"))) << "the batch went on before the box was answered";

    ASSERT_EQ(server->Xdotool("key Return"), 0);
    EXPECT_TRUE(server->WaitForWindowGone("Error")) << "Return did not dismiss the box";
    // The box stays until the window takes input again, so a key typed the moment it has gone
    // is not lost.
    ASSERT_EQ(server->Xdotool("key Right"), 0);
    EXPECT_TRUE(Shows(window, 116, probe)) << "the window takes no keys after the box";
    ASSERT_EQ(server->Xdotool("key Escape"), 0);
    EXPECT_EQ(WaitForExit(10000), 1) << "a file reported, and ended before Done";
    EXPECT_EQ(testsupport::ReadFileText(logs.File("stderr.txt")), "");
}

} // namespace
