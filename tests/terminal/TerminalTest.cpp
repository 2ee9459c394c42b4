// The dudez program drawn in a terminal: it runs from a shell inside a private tmux server of a
// fixed size, keys go in with send-keys and the screen comes back with capture-pane.
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/Slowdown.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>

using testsupport::FileExists;
using testsupport::TempDir;

namespace {

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

void MakeKob(const std::string& path, const std::string& stored, std::uint32_t frames) {
    kobenc::Recording recording;
    recording.storedName = stored;
    recording.channelCount = 2;
    recording.samples = kobenc::SyntheticMusic(frames, 2, 44100, 3);
    kobenc::WriteBytes(path, kobenc::Serialise(kobenc::Encode({recording})).bytes);
}

// A batch that keeps the program busy for seconds: one ten-second file named `count` times over
// (about 1.8 MB of output each), so keys and captures land while it is still converting.
std::vector<std::string> LongBatch(const TempDir& dir, std::size_t count) {
    MakeKob(dir.File("big.kob"), "Big.aif", 44100 * 10);
    return std::vector<std::string>(count, dir.File("big.kob"));
}

class Terminal : public testing::Test {
protected:
    void SetUp() override {
        if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
        if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is missing";
        mSocket = "dudez-test-" + std::to_string(getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name();
        // A plain shell with a known prompt, in a UTF-8 locale, with no graphical display.
        Tmux("-f /dev/null new-session -d -x 100 -y 32 -e LANG=C.UTF-8 -e COLORTERM=truecolor "
             "\"env -u DISPLAY PS1='shell\\$ ' bash --norc --noprofile\"");
        ASSERT_TRUE(WaitFor([](const std::string& s) { return s.find("shell$") != std::string::npos; }));
    }
    void TearDown() override {
        if (!mSocket.empty()) Tmux("kill-server");
    }

    std::string Tmux(const std::string& arguments) {
        return Shell("tmux -u -L " + mSocket + " " + arguments + " 2>/dev/null");
    }
    std::string Screen() { return Tmux("capture-pane -p"); }
    bool AlternateScreen() { return Tmux("display-message -p '#{alternate_on}'").rfind("1", 0) == 0; }
    void Type(const std::string& line) {
        Tmux("send-keys -l " + Quote(line));
        Tmux("send-keys Enter");
    }
    void Key(const std::string& key) { Tmux("send-keys " + key); }
    // A long command line goes through a script: typed into the shell it would be cut.
    void StartDudez(const std::vector<std::string>& names) {
        std::string command = Quote(testsupport::DudezBinary());
        for (const auto& n : names) command += " " + Quote(n);
        if (command.size() < 200) return Type(command);
        testsupport::WriteFileText(scripts.File("run.sh"), "exec " + command + "\n");
        Type("sh " + Quote(scripts.File("run.sh")));
    }

    // Polls the screen until `test` holds; false after the timeout.
    bool WaitFor(const std::function<bool(const std::string&)>& test, int timeoutMs = 30000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            mLast = Screen();
            if (test(mLast)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    bool WaitForText(const std::string& text, int timeoutMs = 30000) {
        return WaitFor([&](const std::string& s) { return s.find(text) != std::string::npos; }, timeoutMs);
    }
    // Until every one of the texts is on the screen at once: what the program draws in one go
    // can still be caught half-drawn.
    bool WaitForAll(std::initializer_list<std::string> texts) {
        return WaitFor([&](const std::string& s) { return HoldsAll(s, texts); });
    }
    static bool HoldsAll(const std::string& screen, std::initializer_list<std::string> texts) {
        return std::all_of(texts.begin(), texts.end(),
                           [&](const std::string& t) { return screen.find(t) != std::string::npos; });
    }
    // The program has ended: the shell's prompt is back on the normal screen. The scrollback
    // counts too: a resize that shrinks the pane pushes the command line's top into it.
    bool WaitForShellAgain() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!AlternateScreen()) {
                mLast = Tmux("capture-pane -p -S -");
                // The prompt of the command line and the one after it.
                const auto first = mLast.find("shell$");
                if (first != std::string::npos && mLast.find("shell$", first + 1) != std::string::npos) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // The terminal is as the shell left it: main screen, cursor shown, no mouse reporting, and
    // the same line modes (raw mode undone) as `stty -g` saved before the program ran.
    void ExpectCleanTerminal() {
        EXPECT_EQ(Tmux("display-message -p '#{alternate_on}#{cursor_flag}#{mouse_any_flag}"
                       "#{mouse_button_flag}#{mouse_standard_flag}#{mouse_sgr_flag}'"),
                  "010000\n");
        Type("stty -g | cmp -s - " + Quote(scripts.File("modes")) + " && echo \"LINE\"\"-MODES-KEPT\"");
        EXPECT_TRUE(WaitForText("LINE-MODES-KEPT", 5000)) << mLast;
    }
    void SaveLineModes() {
        Type("stty -g > " + Quote(scripts.File("modes")));
        WaitFor([](const std::string& s) { return s.find("shell$", s.find("shell$") + 1) != std::string::npos; });
        Tmux("send-keys C-l");
        WaitFor([](const std::string& s) { return s.find("modes") == std::string::npos; });
    }

    std::string mSocket;
    std::string mLast;   // the last screen seen
    TempDir dir;
    TempDir scripts;
};

TEST_F(Terminal, WindowShowsTheConversionAndReturnClosesItWhenDone) {
    std::vector<std::string> batch = LongBatch(dir, 300 / testsupport::kSlowdown);
    MakeKob(dir.File("small.kob"), "Small.aif", 5000);
    batch.push_back(dir.File("small.kob"));
    StartDudez(batch);
    ASSERT_TRUE(WaitForText("MORVIT DuDEZ Version 1.0.1")) << mLast;
    EXPECT_TRUE(AlternateScreen());
    // While the batch converts the output is named (big.wav, big.1.wav, ...), and the button
    // offers to abort.
    ASSERT_TRUE(WaitForText(".wav")) << mLast;
    EXPECT_NE(mLast.find("Abort"), std::string::npos) << mLast;
    EXPECT_NE(mLast.find("Previous"), std::string::npos);
    EXPECT_NE(mLast.find("\u2580"), std::string::npos) << "no picture drawn";
    // Return does nothing while the batch runs.
    Key("Enter");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(AlternateScreen()) << "Return ended the program while it was working";
    ASSERT_TRUE(WaitForText("Done", 120000)) << mLast;
    EXPECT_EQ(mLast.find("Abort"), std::string::npos);
    EXPECT_NE(mLast.find(">   Done   <"), std::string::npos) << "the finished button has the focus\n" << mLast;
    EXPECT_TRUE(AlternateScreen());
    Key("Enter");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
    EXPECT_EQ(mLast.find("MORVIT"), std::string::npos) << mLast;
    EXPECT_TRUE(FileExists(dir.File("big.wav")));
    EXPECT_TRUE(FileExists(dir.File("small.wav")));
}

TEST_F(Terminal, BadFileIsReportedInABoxAndHeldBackErrorsComeAfterTheWindow) {
    testsupport::WriteFileText(dir.File("bad.kob"), "this is not a kob file at all");
    // A file that cannot be opened ends the batch with a runtime error line on standard error.
    StartDudez({dir.File("bad.kob"), dir.File("missing.kob")});
    // The box: its caption, the text naming the file, and the OK button.
    ASSERT_TRUE(WaitForAll({"Error", "bad.kob", "is not a KOB file or corrupted", ">    OK    <"})) << mLast;
    Key("Enter");
    ASSERT_TRUE(WaitForText("Done")) << mLast;
    EXPECT_EQ(mLast.find("is not a KOB file"), std::string::npos) << "the box stays up\n" << mLast;
    // The error was written while the window was up, but is not on the screen.
    EXPECT_EQ(mLast.find("OpenDataFork"), std::string::npos) << mLast;
    Key("Escape");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
    const auto error = mLast.find("LFile::OpenDataFork...fopen: No such file or directory");
    ASSERT_NE(error, std::string::npos) << mLast;
    EXPECT_LT(error, mLast.rfind("shell$")) << "written before the program ended\n" << mLast;
    EXPECT_GT(error, mLast.find("shell$")) << "written after the command line\n" << mLast;
}

TEST_F(Terminal, CtrlCInTheMiddleOfAFileEndsTheProgramAndDeletesItsOutput) {
    SaveLineModes();
    MakeKob(dir.File("done.kob"), "Done.aif", 1000);
    std::vector<std::string> batch = LongBatch(dir, 600);
    batch.insert(batch.begin(), dir.File("done.kob"));
    StartDudez(batch);
    ASSERT_TRUE(WaitForText(".wav")) << mLast;
    Key("C-c");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
    EXPECT_TRUE(FileExists(dir.File("done.wav")));
    // Every output left is complete; the one being written when Ctrl-C came is gone.
    std::size_t outputs = 0;
    for (const std::string& name : testsupport::ListDir(dir.Path())) {
        if (name.rfind("big", 0) != 0 || name == "big.kob") continue;
        ++outputs;
        EXPECT_EQ(std::filesystem::file_size(dir.File(name)), 44u + 44100u * 10u * 4u) << name;
    }
    EXPECT_LT(outputs, 600u) << "the batch was over before Ctrl-C";
    ExpectCleanTerminal();
}

// The width of the window's top frame line in characters, 0 when it is not on the screen.
std::size_t FrameWidth(const std::string& screen) {
    const std::size_t top = screen.find("\u250c");
    if (top == std::string::npos) return 0;
    const std::size_t end = screen.find("\u2510", top);
    if (end == std::string::npos) return 0;
    std::size_t width = 1;
    for (std::size_t i = top + 1; i <= end; ++i) width += (static_cast<unsigned char>(screen[i]) & 0xC0) != 0x80;
    return width;
}

TEST_F(Terminal, ResizingLaysTheWindowOutAgain) {
    MakeKob(dir.File("a.kob"), "A.aif", 1000);
    StartDudez({dir.File("a.kob")});
    ASSERT_TRUE(WaitForText("Done")) << mLast;
    EXPECT_EQ(FrameWidth(mLast), 100u) << mLast;
    Tmux("resize-window -x 72 -y 24");
    // The window drawn anew at the new width, caption to button: a slow build may be caught
    // half-way through drawing it, so the whole of it is waited for.
    ASSERT_TRUE(WaitFor([](const std::string& s) {
        return FrameWidth(s) == 72u && HoldsAll(s, {"MORVIT DuDEZ", "Done", "\u2518"});
    }))
        << "the caption, the button or the frame is missing after the resize\n" << mLast;
    Key("Enter");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
}

TEST_F(Terminal, ButtonsAnswerTheMouseAndPagingKeys) {
    MakeKob(dir.File("a.kob"), "A.aif", 1000);
    StartDudez({dir.File("a.kob")});
    ASSERT_TRUE(WaitForText("Done")) << mLast;
    // The pictures page with the keys; the window stays.
    Key("Right");
    Key("PageUp");
    Key("Left");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(AlternateScreen());
    // A left click on the finished button, reported the way xterm reports it (SGR).
    WaitForText("Done");
    std::size_t row = 0, start = 0, at = std::string::npos;
    for (std::size_t end; (end = mLast.find('\n', start)) != std::string::npos; start = end + 1, ++row) {
        const std::string line = mLast.substr(start, end - start);
        if ((at = line.find("Done")) != std::string::npos) {
            // Columns count characters, not bytes: the line starts with a frame character.
            const std::string before = line.substr(0, at);
            std::size_t column = 0;
            for (unsigned char c : before) column += (c & 0xC0) != 0x80;
            const std::string x = std::to_string(column + 1), y = std::to_string(row + 1);
            Tmux("send-keys -l " + Quote("\x1b[<0;" + x + ";" + y + "M\x1b[<0;" + x + ";" + y + "m"));
            break;
        }
    }
    ASSERT_NE(at, std::string::npos) << mLast;
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
}

} // namespace
