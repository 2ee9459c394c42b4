// The file name field on X11: a name longer than the field shows its end behind an ellipsis,
// with its accented letters, its CJK characters (from the font fontconfig finds for them) and,
// for a byte that is not UTF-8, the replacement character; at 96 dpi and at 192. What the field
// shows is read back as pixels and compared with the same text drawn by the test in the font the
// display chooses.
#include <gtest/gtest.h>

#include "platform/display/x11/TextFont.h"

#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/StereoKob.h"
#include "tests/support/TempDir.h"

// Xlib's macros (None, Bool, Status) come after every other header.
#include "tests/x11/ServerFixture.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using testsupport::TempDir;

namespace {

const std::string kTitle = "MORVIT DuDEZ Version 1.0.1";
// Inside the sunken edge of the file name control (7, 84, 90 x 8 dialog units at 2 pixels each).
constexpr int kFieldX = 15, kFieldY = 169, kFieldW = 178, kFieldH = 14;
constexpr std::uint32_t kFrames = 44100 * 10;

// The characters of a UTF-8 text, a byte that is none as U+FFFD (enough for the names here).
std::u32string Characters(const std::string& bytes) {
    std::u32string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += b, i += 1;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < bytes.size()) {
            out += static_cast<char32_t>(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F)), i += 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < bytes.size()) {
            out += static_cast<char32_t>(((b & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F));
            i += 3;
        } else {
            out += U'\uFFFD', i += 1;
        }
    }
    return out;
}

namespace x11 = platform::display::x11;

class FileNameField : public x11test::ServerFixture {
protected:
    void SetUp() override { StartServer({"Xvfb"}); }
    void TearDown() override {
        font.reset();
        ServerFixture::TearDown();
    }

    // The desktop says the screen has `dpi`; the test's font is then the one the display opens,
    // or with `core` the server's fixed font, which the display falls back on.
    void UseFont(int dpi, bool core) {
        unit = dpi / 96;
        server->SetResources("Xft.dpi:\t" + std::to_string(dpi) + "\n");
        font.reset();
        if (!core) font = x11::OpenXftFont(server->Connection(), dpi);
        if (!font) font = x11::OpenCoreFont(server->Connection());
        ASSERT_TRUE(font) << "no font at all";
    }

    // The field's pixels when it shows `text` in black from its left edge.
    std::vector<std::uint32_t> Drawn(const std::u32string& text) {
        Display* display = server->Connection();
        const Window root = DefaultRootWindow(display);
        const int w = kFieldW * unit, h = kFieldH * unit;
        const Pixmap pixmap = XCreatePixmap(display, root, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                            static_cast<unsigned>(DefaultDepth(display, DefaultScreen(display))));
        GC gc = XCreateGC(display, pixmap, 0, nullptr);
        XSetForeground(display, gc, 0xC0C0C0);
        XFillRectangle(display, pixmap, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
        font->Draw(pixmap, gc, text, 0, font->Ascent(), RECT{0, 0, w, h}, 0x000000, 0x000000);
        std::vector<std::uint32_t> pixels = server->Pixels(pixmap, 0, 0, w, h);
        XFreeGC(display, gc);
        XFreePixmap(display, pixmap);
        return pixels;
    }

    // An ellipsis and as many of the name's last characters as fit the field with it.
    std::u32string EndOf(const std::string& name) {
        const std::u32string characters = Characters(name);
        const auto width = [&](const std::u32string& text) {
            int sum = 0;
            for (char32_t c : text) sum += font->Width(std::u32string(1, c));
            return sum;
        };
        // Appended, not added: GCC 12 at -O3 takes a literal + a string for an overlapping copy.
        const auto ellipsisAnd = [&](std::size_t from) { return std::u32string(U"\u2026").append(characters, from); };
        std::size_t start = characters.size();
        while (start > 0 && width(ellipsisAnd(start - 1)) <= kFieldW * unit) --start;
        return ellipsisAnd(start);
    }

    std::unique_ptr<x11::TextFont> font;
    int unit = 1;
    TempDir dir;
};

// Screenshots for the README when DUDEZ_SCREENSHOT (96 dpi) and DUDEZ_SCREENSHOT_HIDPI (192) name
// where they go. Last, with a fontconfig that knows no font at all, the display falls back on
// the server's fixed font.
TEST_F(FileNameField, ShowsTheEndOfALongUtf8PathWithItsAccentsCjkAndAMarkForABadByteAtEachScaleAndInTheCoreFont) {
    // A folder as old archives have them: accented letters, a Japanese name, and one byte from
    // another encoding.
    const std::string folder = dir.File("Archive/Bänder_Großmutter/録音テープ/\xff");
    std::filesystem::create_directories(folder);
    const std::string kob = testsupport::MakeStereoKob(folder + "/konzert.kob", "Konzert.aif", kFrames);

    const std::string noFonts = dir.File("no-fonts.conf");
    testsupport::WriteFileText(noFonts, "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
    struct Pass {
        int dpi;
        bool core;
    };
    for (const Pass pass : {Pass{96, false}, Pass{192, false}, Pass{96, true}}) {
        const int dpi = pass.dpi;
        SCOPED_TRACE("Xft.dpi " + std::to_string(dpi) + (pass.core ? ", no fonts for fontconfig" : ""));
        UseFont(dpi, pass.core);
        // The characters the chosen font lacks come from another font, not as marks.
        if (!pass.core) {
            EXPECT_NE(Drawn(U"録音テープ"), Drawn(U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD")) << "CJK drawn as marks";
        }

        testsupport::Launch launch;
        if (pass.core) launch.environment = {{"FONTCONFIG_FILE", noFonts}};
        launch.argv = {testsupport::DudezBinary(), "--window"};
        for (int i = 0; i < 400; ++i) launch.argv.push_back(kob);
        launch.display = server->Name();
        mPid = testsupport::StartProcess(launch);
        const Window window = server->WaitForWindow(kTitle);
        ASSERT_NE(window, 0u);

        // The program is stopped for each look, so that the name it shows stays put. The window
        // may be behind the files by a frame or two (it draws at its own pace, a busy machine
        // makes it later, and a frame may pass over dozens of these small files), so the field
        // is compared with the newest outputs; a look taken while it was being drawn matches
        // none, and is taken again.
        bool matched = false;
        std::string shown;
        for (int attempt = 0; attempt < 100 && !matched; ++attempt) {
            kill(mPid, SIGCONT);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            kill(mPid, SIGSTOP);
            int status = 0;
            waitpid(mPid, &status, WUNTRACED);
            std::vector<std::string> outputs;
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                if (entry.path().extension() == ".wav") outputs.push_back(entry.path().string());
            // Newest first: konzert.12.wav after konzert.9.wav.
            std::sort(outputs.begin(), outputs.end(), [](const std::string& a, const std::string& b) {
                return a.size() != b.size() ? a.size() > b.size() : a > b;
            });
            const std::vector<std::uint32_t> field =
                server->Pixels(window, kFieldX * unit, kFieldY * unit, kFieldW * unit, kFieldH * unit);
            for (std::size_t i = 0; i < outputs.size() && i < 64 && !matched; ++i) {
                matched = field == Drawn(EndOf(outputs[i]));
                if (matched) shown = outputs[i];
            }
        }
        const char* path = pass.core ? nullptr : std::getenv(dpi == 96 ? "DUDEZ_SCREENSHOT" : "DUDEZ_SCREENSHOT_HIDPI");
        if (path) {
            // For the README: the window as it stands, the program still stopped.
            EXPECT_TRUE(server->SaveScreenshot(window, path));
        }
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
        mPid = -1;
        ASSERT_TRUE(matched) << "the field does not show the end of an output's name";
        // The end shown reaches into the folders with the CJK name and the bad byte. How far into
        // the CJK name depends on the output's number, which the look catches anywhere from
        // konzert.wav to konzert.399.wav: its last character at least.
        if (!pass.core) {
            EXPECT_NE(EndOf(shown).find(U"プ/\uFFFD/konzert"), std::u32string::npos) << shown;
        }
    }
}

} // namespace
