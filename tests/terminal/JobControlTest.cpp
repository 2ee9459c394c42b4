// dudez under an interactive shell's job control: a job put in the background converts by
// itself and is never stopped by the terminal; Ctrl-Z (or a SIGTSTP from elsewhere) gives the
// terminal back to the shell as it was, and `fg` brings the window back, keys and mouse working.
#include "tests/terminal/TerminalFixture.h"

#include <cctype>
#include <csignal>

using terminaltest::LongBatch;
using terminaltest::MakeKob;
using terminaltest::Quote;
using terminaltest::Terminal;

namespace {

// Where the button labelled `label` is on `screen`: an SGR mouse press and release on it, for
// send-keys -l.
std::string ClickOn(const std::string& screen, const std::string& label) {
    std::size_t row = 0, start = 0;
    for (std::size_t end; (end = screen.find('\n', start)) != std::string::npos; start = end + 1, ++row) {
        const std::string line = screen.substr(start, end - start);
        const std::size_t at = line.find(label);
        if (at == std::string::npos) continue;
        std::size_t column = 0;
        for (unsigned char c : line.substr(0, at)) column += (c & 0xC0) != 0x80;
        const std::string x = std::to_string(column + 1), y = std::to_string(row + 1);
        return "\x1b[<0;" + x + ";" + y + "M\x1b[<0;" + x + ";" + y + "m";
    }
    return "";
}

// The page's number as the window shows it ("3/9"); empty when none is on the screen.
std::string PageNumber(const std::string& screen) {
    const std::size_t at = screen.find("/9");
    if (at == std::string::npos || at == 0 || !std::isdigit(static_cast<unsigned char>(screen[at - 1]))) return "";
    return screen.substr(at - 1, 3);
}

} // namespace

TEST_F(Terminal, ABackgroundJobConvertsByItselfAndIsNeverStoppedByTheTerminal) {
    MakeKob(dir.File("one.kob"), "One.aif", 5000);
    MakeKob(dir.File("two.kob"), "Two.aif", 5000);
    const std::string dudez = Quote(testsupport::DudezBinary());
    // tostop: a background job that writes to the terminal is stopped unless it ignores that.
    Type("stty tostop; " + dudez + " " + Quote(dir.File("one.kob")) + " > " + Quote(dir.File("report.txt")) +
         " & wait $!; echo \"fir\"\"st $?\"; " + dudez + " " + Quote(dir.File("two.kob")) +
         " & wait $!; echo \"sec\"\"ond $?\"");
    ASSERT_TRUE(WaitForText("second ", 60000)) << mLast;
    EXPECT_NE(mLast.find("first 0"), std::string::npos) << mLast;
    EXPECT_NE(mLast.find("second 0"), std::string::npos) << mLast;
    EXPECT_EQ(mLast.find("Stopped"), std::string::npos) << mLast;
    EXPECT_NE(mLast.find(": wrote " + dir.File("two.wav")), std::string::npos) << mLast;
    const std::string report = testsupport::ReadFileText(dir.File("report.txt"));
    EXPECT_EQ(report.rfind(dir.File("one.kob") + ": wrote ", 0), 0u) << report;
    EXPECT_EQ(Tmux("capture-pane -p -S -").find("MORVIT"), std::string::npos) << "a window was drawn";
}

TEST_F(Terminal, CtrlZGivesTheTerminalBackAndFgBringsTheWindowBack) {
    SaveLineModes();
    // Slowed by the test build's hook (20 ms a file), so that it still writes when each key
    // comes, however fast it converts.
    StartDudez(LongBatch(dir, 300), {"DUDEZ_TEST_THROTTLE=10:5"}, testsupport::HookedDudezBinary());
    ASSERT_TRUE(WaitForText(".wav")) << mLast;
    for (const bool fromElsewhere : {false, true}) {
        if (fromElsewhere) {
            // kill -TSTP from another terminal: the program itself is told, not the terminal.
            const std::string shell = Tmux("display-message -p '#{pane_pid}'");
            const std::string child = terminaltest::Shell("pgrep -P " + shell);
            ASSERT_FALSE(child.empty());
            kill(std::stoi(child), SIGTSTP);
        } else {
            Key("C-z");
        }
        ASSERT_TRUE(WaitFor([](const std::string& s) { return s.find("Stopped") != std::string::npos; })) << mLast;
        ASSERT_TRUE(WaitForShellAgain()) << mLast;
        ExpectCleanTerminal();
        // Stopped means stopped: nothing is written meanwhile.
        const std::size_t files = testsupport::ListDir(dir.Path()).size();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(testsupport::ListDir(dir.Path()).size(), files);
        Tmux("send-keys C-l");
        Type("fg");
        ASSERT_TRUE(WaitForAll({"MORVIT DuDEZ Version 1.0.1", "Abort", ".wav"})) << mLast;
        EXPECT_TRUE(AlternateScreen());
        EXPECT_EQ(Tmux("display-message -p '#{cursor_flag}#{mouse_sgr_flag}'"), "01\n");
    }
    // The keys reach the window again (in line mode Right would wait for Return): the next
    // page comes; and so does a click on Abort.
    const std::string page = PageNumber(mLast);
    ASSERT_FALSE(page.empty()) << mLast;
    Key("Right");
    ASSERT_TRUE(WaitFor([&](const std::string& s) { return !PageNumber(s).empty() && PageNumber(s) != page; }))
        << "Right did not page\n" << mLast;
    const std::string click = ClickOn(mLast, "Abort");
    ASSERT_FALSE(click.empty()) << mLast;
    Tmux("send-keys -l " + Quote(click));
    ASSERT_TRUE(WaitForShellAgain()) << mLast;
    Type("echo \"status $?\"");
    EXPECT_TRUE(WaitForText("status 1")) << mLast;
}

// Escape while the report goes to a reader that never reads (`dudez ... | less` left alone): the
// report is more than the pipe holds, yet the program ends, as after any stop.
TEST_F(Terminal, EscapeEndsTheProgramWhileItsReportWaitsForAStalledReader) {
    // Names enough for a report larger than a pipe holds; the program is held in the middle of
    // the batch until Escape ends it.
    const std::vector<std::string> batch = LongBatch(dir, 1200);
    const std::string fifo = scripts.File("report");
    Type("mkfifo " + Quote(fifo) + " && sleep 1000 < " + Quote(fifo) + " &");
    std::string command = "exec env " + std::string(testsupport::kHookVariable) + "=" + testsupport::HeldAtWrite(20) + " " + Quote(testsupport::HookedDudezBinary());
    for (const std::string& name : batch) command += " " + Quote(name);
    testsupport::WriteFileText(scripts.File("stalled.sh"), command + " > " + Quote(fifo) + "\n");
    Type("sh " + Quote(scripts.File("stalled.sh")) + "; echo \"sta\"\"tus $?\"");
    ASSERT_TRUE(WaitForText(".wav")) << mLast;
    Key("Escape");
    ASSERT_TRUE(WaitForText("status ")) << mLast;
    EXPECT_NE(mLast.find("status 1"), std::string::npos) << mLast;
    Type("kill %1");
}
