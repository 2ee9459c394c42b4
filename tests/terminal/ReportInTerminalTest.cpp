// What dudez tells in a terminal once its window is gone: the report of every name and the exit
// status; and a run from a shell loop (standard input elsewhere), which draws nothing and never
// waits for a key.
#include "tests/terminal/TerminalFixture.h"

#include <filesystem>

using terminaltest::Quote;
using terminaltest::Terminal;

TEST_F(Terminal, TheReportComesAfterTheWindowWithTheHeldOutput) {
    terminaltest::MakeKob(dir.File("good.kob"), "Good.aif", 5000);
    testsupport::WriteFileText(dir.File("bad.kob"), "not a KOB file");
    terminaltest::MakeKob(dir.File("later.kob"), "Later.aif", 5000);
    StartDudez({dir.File("good.kob"), dir.File("bad.kob"), dir.File("missing.kob"), dir.File("later.kob")});
    ASSERT_TRUE(WaitForText("is not a KOB file or corrupted")) << mLast;
    Key("Enter");   // the box for bad.kob
    ASSERT_TRUE(WaitForText("Done")) << mLast;
    EXPECT_TRUE(AlternateScreen()) << "the report came while the window was up";
    Key("Enter");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
    // The whole report, after the window, in order, each fact on a line of its own (lines the
    // pane wrapped are joined again).
    const std::string shown = Tmux("capture-pane -p -J -S -");
    const std::string lines[] = {
        "Caught Error: : No such file or directory",
        dir.File("good.kob") + ": wrote " + dir.File("good.wav"),
        dir.File("bad.kob") + ": not a KOB file or corrupted",
        dir.File("missing.kob") + ": could not be opened: No such file or directory",
        dir.File("later.kob") + ": not converted: the list ended at a file that could not be opened",
        "dudez: 4 names, 1 converted (0 with damage), 1 not a KOB file or corrupted, 1 could not be opened, "
        "1 not converted",
    };
    std::size_t at = 0;
    for (const std::string& line : lines) {
        const std::size_t found = shown.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << shown;
        at = found + line.size();
    }
    Type("echo \"status $?\"");
    EXPECT_TRUE(WaitForText("status 1")) << mLast;
}

TEST_F(Terminal, ARunWhoseInputIsNotTheTerminalDrawsNothingAndEndsByItself) {
    // As in `for f in *.kob; do dudez "$f" </dev/null; done`: nobody is there to press Return.
    terminaltest::MakeKob(dir.File("one.kob"), "One.aif", 5000);
    terminaltest::MakeKob(dir.File("two.kob"), "Two.aif", 5000);
    Type("for f in " + Quote(dir.File("one.kob")) + " " + Quote(dir.File("two.kob")) + "; do " +
         Quote(testsupport::DudezBinary()) + " \"$f\" </dev/null; done; echo \"loop ended $?\"");
    ASSERT_TRUE(WaitForText("loop ended 0")) << mLast;
    EXPECT_FALSE(AlternateScreen());
    EXPECT_TRUE(HoldsAll(mLast, {": wrote " + dir.File("one.wav"), ": wrote " + dir.File("two.wav")})) << mLast;
    EXPECT_TRUE(testsupport::FileExists(dir.File("one.wav")));
    EXPECT_TRUE(testsupport::FileExists(dir.File("two.wav")));
    // Nothing of a window was ever drawn into the shell's screen.
    EXPECT_EQ(Tmux("capture-pane -p -S -").find("MORVIT"), std::string::npos) << mLast;
}

TEST_F(Terminal, NamesWithEscapesNeitherRetitleNorClearTheTerminal) {
    // A folder whose name would set the terminal's title and clear its screen.
    const std::string folder = dir.File("x\x1b]2;pwned\x07\x1b[2J");
    std::filesystem::create_directory(folder);
    testsupport::WriteFileText(folder + "/bad.kob", "not a KOB file");
    const std::string before = Tmux("display-message -p '#{pane_title}'");
    StartDudez({folder + "/bad.kob"});
    // The box shows the name's escapes, not what they would do.
    ASSERT_TRUE(WaitForAll({"x\\x1b]2;pwned\\x07\\x1b[2J/bad.kob", "is not a KOB file"})) << mLast;
    Key("Enter");
    ASSERT_TRUE(WaitForText("Done")) << mLast;
    Key("Enter");
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
    EXPECT_NE(Tmux("capture-pane -p -J -S -").find(dir.File("x\\x1b]2;pwned\\x07\\x1b[2J/bad.kob: not a KOB file")),
              std::string::npos)
        << mLast;
    EXPECT_EQ(Tmux("display-message -p '#{pane_title}'"), before);
}

TEST_F(Terminal, TheOptionsChooseTheWindowWhateverTheInput) {
    terminaltest::MakeKob(dir.File("one.kob"), "One.aif", 5000);
    terminaltest::MakeKob(dir.File("two.kob"), "Two.aif", 5000);
    const std::string dudez = Quote(testsupport::DudezBinary());
    // --no-window at the terminal: nothing drawn, nothing waited for.
    Type(dudez + " --no-window " + Quote(dir.File("one.kob")) + "; echo \"fir\"\"st $?\"");
    ASSERT_TRUE(WaitForText("first 0")) << mLast;
    EXPECT_EQ(Tmux("capture-pane -p -S -").find("MORVIT"), std::string::npos) << mLast;
    // --window with the input elsewhere: asked for, so drawn in the terminal (there is no X11
    // display), and it waits for Return.
    Type(dudez + " --window " + Quote(dir.File("two.kob")) + " </dev/null; echo \"sec\"\"ond $?\"");
    ASSERT_TRUE(WaitForAll({"MORVIT DuDEZ Version 1.0.1", "Done"})) << mLast;
    Key("Enter");
    ASSERT_TRUE(WaitForText("second 0")) << mLast;
}
