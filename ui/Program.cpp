// The start-up code of the executable: it prepares the platform (resources, display, the stop
// signals), builds the command-line text from the arguments and hands over to WinMain. Returning
// from here runs the exit handler that WinMain registered.
#include "platform/user/HeadlessDisplay.h"
#include "platform/user/HeadlessUser.h"
#include "platform/runtime/SessionEnd.h"
#include "platform/runtime/Startup.h"
#include "platform/user/StopSignals.h"
#include "platform/Windows.h"
#include "platform/user/DisplayDriver.h"
#ifdef DUDEZ_HAVE_X11
#include "platform/display/X11Display.h"
#endif
#if __has_include("platform/display/TerminalDisplay.h")
#include "platform/display/TerminalDisplay.h"
#define DUDEZ_HAVE_TERMINAL 1
#endif
#include "resources/ProgramResources.h"
#include "convert/ConvertBatch.h"
#include "platform/runtime/Crt.h"
#include "ui/AppShell.h"
#include "ui/Globals.h"
#include "ui/Options.h"
#include "ui/terminal/ProgramScreen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

namespace {

constexpr char kVersion[] = "dudez 1.0.1\n";

constexpr char kUsage[] =
    "Usage: dudez [OPTION]... FILE.kob...\n"
    "Restores the recordings held in KOB files as WAVE files (16-bit PCM).\n"
    "\n"
    "Each recording is written into the folder of its KOB file, named after the name stored\n"
    "in it (Take.AIF gives take.wav); an existing file is never replaced (take.1.wav, ...).\n"
    "Damaged blocks become silence and are listed in a .err file beside the WAVE file.\n"
    "When that folder takes no new file (read-only media), the outputs go into the current\n"
    "directory under the same names. A name with spaces is one name when it names a file.\n"
    "\n"
    "A window shows the progress (on X11, else in the terminal) when the program runs in the\n"
    "foreground of a terminal that is its input, or when asked with --window; any other run\n"
    "shows none and never waits for a key.\n"
    "Keys: Left/Right and Page Up/Page Down page the pictures; Escape ends at once (the\n"
    "unfinished file is removed); Return closes the window once the button reads Done.\n"
    "\n"
    "At the end, one line per WAVE file written or file not converted, then a summary, go\n"
    "to standard output. Exit status: 0 when every file was converted; 1 when a file was\n"
    "not a KOB file or corrupted, could not be opened, or the program was ended before Done;\n"
    "2 for a command line it does not understand.\n"
    "\n"
    "Options (before the names; -- ends them):\n"
    "  -o, --output-dir DIR  write every output into DIR     dudez -o ~/restored cd/*.kob\n"
    "  -t, --test            read and check, write nothing    dudez -t /media/cd/*.kob\n"
    "  -k, --keep-going      go on past a file that cannot be opened\n"
    "                                                         dudez -k *.kob\n"
    "      --rescue          restore every block the damage left: read on past damaged\n"
    "                        headers, search the whole file for recordings no chain\n"
    "                        reaches (the report says what was inferred)\n"
    "                                                         dudez --rescue old.kob\n"
    "  -q, --quiet           no report line for recordings written whole\n"
    "                                                         dudez -q *.kob\n"
    "      --window          show the window even without a terminal\n"
    "      --no-window       never show a window: a headless run\n"
    "  -h, --help            this text\n"
    "      --version         the version\n"
    "\n"
    "More in man dudez.\n";

constexpr char kShortUsage[] =
    "Usage: dudez [OPTION]... FILE.kob...\n"
    "Try 'dudez --help' for more information.\n";

// Whether someone at a terminal started the program and waits for it: its standard input is
// its controlling terminal and it is in that terminal's foreground. Not so for a shell loop with
// </dev/null, xargs, find -exec, a script fed from elsewhere, a job put in the background, nor
// for a run without a terminal (ssh host cmd, cron, a systemd unit, setsid, a launcher).
bool SomeoneAtTheTerminal() {
    const int terminal = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return false;
    ::close(terminal);
    // Only the controlling terminal has a foreground process group to tell.
    return ::isatty(0) && ::tcgetpgrp(0) == ::getpgrp();
}

// Whether the program is in the foreground of its controlling terminal, whatever its input: the
// terminal can then be drawn on when a window was asked for.
bool TerminalIsOurs() {
    const int terminal = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return false;
    const bool ours = ::tcgetpgrp(terminal) == ::getpgrp();
    ::close(terminal);
    return ours;
}

// The display the window is shown on: an X11 display when one can be opened, else the
// controlling terminal, else none, for a run with someone at its terminal or one that asked for
// the window; every other run is headless. Null means headless.
std::unique_ptr<platform::display::Backend> OpenDisplay(RunOptions::Window window) {
    if (window == RunOptions::Window::Never) return nullptr;
    if (window == RunOptions::Window::Auto && !SomeoneAtTheTerminal()) return nullptr;
#ifdef DUDEZ_HAVE_X11
    if (auto x11 = platform::display::OpenX11Display()) return x11;
#endif
#ifdef DUDEZ_HAVE_TERMINAL
    // Never from the background: the shell has the terminal.
    if (TerminalIsOurs())
        if (auto terminal = OpenTerminalDisplay(ui::terminal::MakeProgramScreen())) return terminal;
#endif
    return nullptr;
}

int Run(int argc, char** argv, int firstName) {
    RegisterDialogAndKeys();
    RegisterPictures();
    RegisterIcons();
    platform::ForwardStopSignals(&gMainWindow);
    // Nobody watches a headless run: its window is not painted, and a stand-in user ends it once
    // the batch is done.
    if (auto display = OpenDisplay(TheRunOptions().window)) {
        platform::display::Install(std::move(display));
    } else {
        // Asked for (a launcher's --window) and impossible: said once, where the launcher's log
        // keeps it, and the batch still runs, as it would for a script.
        if (TheRunOptions().window == RunOptions::Window::Always)
            std::fputs("dudez: no window can be shown (no X display could be opened, and no terminal is ours); "
                       "converting without one\n",
                       stderr);
        platform::display::Install(std::make_unique<platform::display::UnwatchedBackend>());
        platform::StartHeadlessUser(&gMainWindow);
    }

    platform::CommandLine& commandLine = platform::MakeCommandLine(argc - firstName + 1, argv + firstName - 1);
    return FinishRun(WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.text.data(), SW_SHOWDEFAULT));
}

} // namespace

int main(int argc, char** argv) {
    ParsedOptions parsed = ParseOptions(argc, argv);
    switch (parsed.action) {
    case ParsedOptions::Action::Help: std::fputs(kUsage, stdout); return 0;
    case ParsedOptions::Action::Version: std::fputs(kVersion, stdout); return 0;
    case ParsedOptions::Action::Misuse:
        std::fprintf(stderr, "dudez: %s\n%s", parsed.reason.c_str(), kShortUsage);
        return 2;
    case ParsedOptions::Action::Run: break;
    }
    platform::MapProgramAtOnce();
    platform::OneHeapForAllThreads();
    TheRunOptions() = parsed.options;
    if (!parsed.options.outputFolder.empty()) {
        // Opened once, now: every output goes into this very folder, whatever its path does later.
        const int folder = crt::OpenFolder(parsed.options.outputFolder.c_str());
        if (folder < 0) {
            std::fprintf(stderr, "dudez: cannot write into %s: %s\n", parsed.options.outputFolder.c_str(),
                         std::strerror(errno));
            return 2;
        }
        SetOutputFolder(folder);
    }
    // Before any thread starts, so that only the signal thread ever takes them.
    platform::BlockStopSignals();
    platform::KeepWriteFailuresAsErrors();
    platform::KeepWorkingInTheBackground();
    try {
        return Run(argc, argv, parsed.firstName);
    } catch (const std::system_error& error) {
        // A thread of the platform's that could not be started (a limit on processes or on
        // memory): nothing would ever run the batch or end the program.
        std::fprintf(stderr, "dudez: cannot start: %s\n", error.code().message().c_str());
        return 1;
    }
}
