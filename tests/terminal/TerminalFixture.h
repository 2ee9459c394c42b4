// The fixture of the tests that run dudez in a terminal: a shell inside a private tmux server of
// a fixed size; keys go in with send-keys and the screen comes back with capture-pane.
#pragma once

#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/Slowdown.h"
#include "tests/support/StereoKob.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace terminaltest {

using testsupport::TempDir;

inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

inline void MakeKob(const std::string& path, const std::string& stored, std::uint32_t frames) {
    testsupport::MakeStereoKob(path, stored, frames);
}

// A batch that keeps the program busy for seconds: one ten-second file named `count` times over
// (about 1.8 MB of output each), so keys and captures land while it is still converting.
// StartHeld keeps a batch in the middle of a file however fast the program writes.
inline std::vector<std::string> LongBatch(const TempDir& dir, std::size_t count) {
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
    // The screen with the attributes and colours of its cells as SGR sequences.
    std::string ScreenWithColours() { return Tmux("capture-pane -e -p"); }
    bool AlternateScreen() { return Tmux("display-message -p '#{alternate_on}'").rfind("1", 0) == 0; }
    void Type(const std::string& line) {
        Tmux("send-keys -l " + Quote(line));
        Tmux("send-keys Enter");
    }
    void Key(const std::string& key) { Tmux("send-keys " + key); }
    // A long command line goes through a script: typed into the shell it would be cut.
    // `environment` goes before the program as env's arguments ("TERM=vt100", "-u", "COLORTERM").
    // A name that is not printable ASCII goes through the script too: keys would have to spell
    // its bytes, and a control character would be taken as a key.
    void StartDudez(const std::vector<std::string>& names, const std::vector<std::string>& environment = {},
                    const std::string& binary = testsupport::DudezBinary()) {
        std::string command = Quote(binary);
        if (!environment.empty()) {
            command = "env";
            for (const auto& setting : environment) command += " " + Quote(setting);
            command += " " + Quote(binary);
        }
        for (const auto& n : names) command += " " + Quote(n);
        const bool ascii = std::all_of(command.begin(), command.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
        if (command.size() < 200 && ascii) return Type(command);
        testsupport::WriteFileText(scripts.File("run.sh"), "exec " + command + "\n");
        Type("sh " + Quote(scripts.File("run.sh")));
    }

    // The program with the test build's hook, held at a write in about its fifth file: until
    // it is ended, or for holdMs when given, after which the batch goes on.
    void StartHeld(const std::vector<std::string>& names, long holdMs = 0) {
        StartDudez(names, {std::string(testsupport::kHookVariable) + "=" + testsupport::HeldAtWrite(40, holdMs)}, testsupport::HookedDudezBinary());
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

} // namespace terminaltest
