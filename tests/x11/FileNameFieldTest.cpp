// The file name field on X11: a name longer than the field shows its end behind an ellipsis,
// with its accented letters and, for a byte that is not UTF-8, the replacement character. What
// the field shows is read back as pixels and compared with the same text drawn by the test in
// the same font.
#include <gtest/gtest.h>

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
const char* const kFont = "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso10646-1";
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
        } else {
            out += U'\uFFFD', i += 1;
        }
    }
    return out;
}

class FileNameField : public x11test::ServerFixture {
protected:
    void SetUp() override {
        StartServer({"Xvfb"});
        font = XLoadQueryFont(server->Connection(), kFont);
        if (!font) GTEST_SKIP() << "the font " << kFont << " is not installed";
    }
    void TearDown() override {
        if (font) XFreeFont(server->Connection(), font);
        ServerFixture::TearDown();
    }

    // The field's pixels when it shows `text` in black from its left edge.
    std::vector<std::uint32_t> Drawn(const std::u32string& text) {
        Display* display = server->Connection();
        const Window root = DefaultRootWindow(display);
        const Pixmap pixmap = XCreatePixmap(display, root, kFieldW, kFieldH,
                                            static_cast<unsigned>(DefaultDepth(display, DefaultScreen(display))));
        GC gc = XCreateGC(display, pixmap, 0, nullptr);
        XSetForeground(display, gc, 0xC0C0C0);
        XFillRectangle(display, pixmap, gc, 0, 0, kFieldW, kFieldH);
        XSetForeground(display, gc, 0x000000);
        XSetFont(display, gc, font->fid);
        std::vector<XChar2b> codes;
        for (char32_t c : text) codes.push_back(XChar2b{static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c)});
        XDrawString16(display, pixmap, gc, 0, font->ascent, codes.data(), static_cast<int>(codes.size()));
        std::vector<std::uint32_t> pixels = server->Pixels(pixmap, 0, 0, kFieldW, kFieldH);
        XFreeGC(display, gc);
        XFreePixmap(display, pixmap);
        return pixels;
    }

    // An ellipsis and as many of the name's last characters as fit the field with it.
    std::u32string EndOf(const std::string& name) {
        const std::u32string characters = Characters(name);
        const auto width = [&](const std::u32string& text) {
            std::vector<XChar2b> codes;
            for (char32_t c : text) codes.push_back(XChar2b{static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c)});
            return XTextWidth16(font, codes.data(), static_cast<int>(codes.size()));
        };
        // Appended, not added: GCC 12 at -O3 takes a literal + a string for an overlapping copy.
        const auto ellipsisAnd = [&](std::size_t from) { return std::u32string(U"\u2026").append(characters, from); };
        std::size_t start = characters.size();
        while (start > 0 && width(ellipsisAnd(start - 1)) <= kFieldW) --start;
        return ellipsisAnd(start);
    }

    XFontStruct* font = nullptr;
    TempDir dir;
};

TEST_F(FileNameField, ShowsTheEndOfALongUtf8PathWithItsAccentsAndAMarkForABadByte) {
    // A folder as old archives have them: accented letters, and one byte from another encoding.
    const std::string folder = dir.File("Archive/Bänder_Großmutter/\xff");
    std::filesystem::create_directories(folder);
    const std::string kob = testsupport::MakeStereoKob(folder + "/konzert.kob", "Konzert.aif", kFrames);

    testsupport::Launch launch;
    launch.argv = {testsupport::DudezBinary(), "--window"};
    for (int i = 0; i < 400; ++i) launch.argv.push_back(kob);
    launch.display = server->Name();
    mPid = testsupport::StartProcess(launch);
    const Window window = server->WaitForWindow(kTitle);
    ASSERT_NE(window, 0u);

    // The program is stopped for each look, so that the name it shows stays put. The window may
    // be behind the files by a frame or two (it draws at its own pace, and a busy machine makes
    // it later), so the field is compared with the newest few outputs; a look taken while it
    // was being drawn matches none, and is taken again.
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
        const std::vector<std::uint32_t> field = server->Pixels(window, kFieldX, kFieldY, kFieldW, kFieldH);
        for (std::size_t i = 0; i < outputs.size() && i < 4 && !matched; ++i) {
            matched = field == Drawn(EndOf(outputs[i]));
            if (matched) shown = outputs[i];
        }
    }
    if (const char* path = std::getenv("DUDEZ_SCREENSHOT")) {
        // For the README: the window as it stands, the program still stopped.
        EXPECT_TRUE(server->SaveScreenshot(window, path));
    }
    kill(mPid, SIGCONT);
    ASSERT_TRUE(matched) << "the field does not show the end of an output's name";
    // The end shown reaches into the folder with the accents and the bad byte.
    EXPECT_NE(EndOf(shown).find(U"ßmutter/\uFFFD/konzert"), std::u32string::npos);
}

} // namespace
