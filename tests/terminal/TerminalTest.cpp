// The dudez program drawn in a terminal: its window, keys, mouse clicks, Ctrl-C, message boxes and
// the output held back while the window is up.
#include "tests/terminal/TerminalFixture.h"

#include <filesystem>

using testsupport::FileExists;

namespace {

using terminaltest::LongBatch;
using terminaltest::MakeKob;
using terminaltest::Quote;
using Terminal = terminaltest::Terminal;

TEST_F(Terminal, WindowShowsTheConversionAndReturnClosesItWhenDone) {
    std::vector<std::string> batch = LongBatch(dir, 20);
    MakeKob(dir.File("small.kob"), "Small.aif", 5000);
    batch.push_back(dir.File("small.kob"));
    StartHeld(batch, 2000 * static_cast<long>(testsupport::kSlowdown));
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
    std::vector<std::string> batch = LongBatch(dir, 40);
    batch.insert(batch.begin(), dir.File("done.kob"));
    StartHeld(batch);
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
    EXPECT_LT(outputs, 40u) << "the batch was over before Ctrl-C";
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
