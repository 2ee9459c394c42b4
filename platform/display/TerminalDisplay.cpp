#include "platform/display/TerminalDisplay.h"

#include "platform/runtime/SessionEnd.h"
#include "platform/user/Input.h"
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/WinMessages.h"
#include "platform/display/DisplayLoop.h"
#include "platform/display/terminal/CellFrame.h"
#include "platform/display/terminal/KeyReader.h"
#include "platform/display/terminal/TerminalKind.h"
#include "platform/display/terminal/TerminalScreen.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using namespace platform::display::terminal;
using platform::display::Clock;
using platform::display::DisplayLoop;
using platform::display::kFrameInterval;

constexpr auto kEscapeWait = std::chrono::milliseconds(40);      // a lone Escape is a key
constexpr auto kIdleRefresh = std::chrono::milliseconds(500);

// Writes bytes in full: a short write or a signal in the middle goes on with the rest. Gives up
// silently on another error (a terminal that is gone takes nothing more) and once a stopped
// program's end no longer waits for a terminal that takes nothing.
void WriteAll(int descriptor, std::string_view bytes) {
    platform::WriteUnlessStopped(descriptor, bytes);
}

// What the program writes to standard output and standard error is kept off the terminal while
// the window is drawn there, and written out when the window is gone. Only the streams that go
// to the terminal are held back (into one unnamed temporary file, so that their order is kept);
// streams that go to a file or a pipe are left alone.

// Filled once by HoldOutput, read by ReleaseHeldOutput (possibly from a signal handler): plain descriptors.
int gHoldFile = -1;          // the temporary file both held streams write to
int gSaved[3] = {-1, -1, -1};  // the original descriptors 1 and 2, when held
std::atomic<bool> gHolding{false};

// Whether the descriptor writes to the terminal `tty`. /dev/tty is only an alias for the
// controlling terminal, so the devices are compared through their sessions when needed.
bool SameTerminal(int descriptor, const struct stat& tty) {
    struct stat info;
    if (!isatty(descriptor) || fstat(descriptor, &info) != 0) return false;
    if (info.st_rdev == tty.st_rdev) return true;
    const pid_t session = tcgetsid(descriptor);
    return session >= 0 && session == getsid(0);
}

int MakeHoldFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/dudez-held-XXXXXX";
    int file = mkstemp(pattern.data());
    if (file < 0 && (folder && *folder)) {
        pattern = "/tmp/dudez-held-XXXXXX";
        file = mkstemp(pattern.data());
    }
    if (file >= 0) unlink(pattern.c_str());
    return file;
}

// Starts holding back the standard streams that write to the terminal `tty`.
void HoldOutput(int tty) {
    struct stat ttyInfo;
    if (gHolding.load() || fstat(tty, &ttyInfo) != 0) return;
    const bool out = SameTerminal(1, ttyInfo);
    const bool err = SameTerminal(2, ttyInfo);
    if (!out && !err) return;
    gHoldFile = MakeHoldFile();
    if (gHoldFile < 0) return;   // then the output goes over the window, but nothing is lost
    std::fflush(stdout);
    std::fflush(stderr);
    // Standard output stays line-buffered, as it is on a terminal, so that its lines and those
    // of standard error come out in the order they were written.
    if (out) std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    for (int stream : {1, 2}) {
        if (!(stream == 1 ? out : err)) continue;
        gSaved[stream] = dup(stream);
        if (gSaved[stream] >= 0) dup2(gHoldFile, stream);
    }
    gHolding.store(true);
}

// Gives the streams back and writes out what was held. Async-signal-safe when `flushStdio` is
// false (stdio buffers are then left as they are). Later calls do nothing.
void ReleaseHeldOutput(bool flushStdio) {
    if (!gHolding.exchange(false)) return;
    if (flushStdio) {
        std::fflush(stdout);
        std::fflush(stderr);
    }
    int target = -1;
    for (int stream : {1, 2}) {
        if (gSaved[stream] < 0) continue;
        dup2(gSaved[stream], stream);
        close(gSaved[stream]);
        target = stream;
    }
    if (target < 0) return;
    char buffer[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = pread(gHoldFile, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        WriteAll(target, std::string_view(buffer, static_cast<std::size_t>(got)));
        offset += got;
    }
}

// Entering and leaving the window's screen: the alternate screen where the terminal has one
// (what was on the terminal comes back afterwards), else the screen cleared before and after;
// the cursor hidden wherever the terminal can hide it; mouse reports where it makes them.
std::string EnterScreen(const TerminalKind& kind) {
    return kind.enterScreen + kind.hideCursor + (kind.mouse ? "\x1b[?1000h\x1b[?1006h" : "") + "\x1b[0m\x1b[H\x1b[2J";
}
std::string LeaveScreen(const TerminalKind& kind) {
    return std::string("\x1b[0m") + (kind.mouse ? "\x1b[?1006l\x1b[?1000l" : "") + "\x1b[H\x1b[2J" + kind.showCursor +
           kind.leaveScreen;
}

// What restoring the terminal needs, kept in plain globals so that a fault signal's handler can
// use them (only async-signal-safe calls there).
int gTty = -1;
struct termios gSavedMode;
const char* gLeaveScreen = "\x1b[0m\x1b[H\x1b[2J";
std::atomic<bool> gScreenTaken{false};
DisplayLoop* gLoop = nullptr;   // the display thread's loop; never destroyed
std::atomic<bool> gResized{false};
std::atomic<bool> gSuspendAsked{false};   // SIGTSTP came: give the terminal back and stop
std::atomic<bool> gContinued{false};      // SIGCONT came: take it again
bool gMaySuspend = true;                  // SIGTSTP was not ignored when the program started

// Set up before anything can call it: the loop is made before the backend and the resize
// handler.
void Wake() {
    gLoop->Wake();
}

// Leaves the window's screen and sets the terminal's modes back; nothing when the screen is not
// taken. Safe in a signal handler.
void GiveTerminalBack() {
    if (!gScreenTaken.exchange(false)) return;
    WriteAll(gTty, gLeaveScreen);
    // Waiting for the output to drain may be cut short: the modes are set all the same.
    if (tcsetattr(gTty, TCSADRAIN, &gSavedMode) != 0) tcsetattr(gTty, TCSANOW, &gSavedMode);
}

// Gives the terminal back as it was and writes out the held output. Safe in a signal handler
// when flushStdio is false; runs once.
void RestoreTerminal(bool flushStdio) {
    GiveTerminalBack();
    ReleaseHeldOutput(flushStdio);
}

// Raw input only: the output is processed as before.
void TakeTerminal(const TerminalKind& kind) {
    struct termios raw = gSavedMode;
    cfmakeraw(&raw);
    raw.c_oflag = gSavedMode.c_oflag;
    tcsetattr(gTty, TCSADRAIN, &raw);
    gScreenTaken.store(true);
    WriteAll(gTty, EnterScreen(kind));
}

bool InTheForeground() {
    return tcgetpgrp(gTty) == getpgrp();
}

void OnSuspend(int) {
    const int saved = errno;
    gSuspendAsked.store(true);
    Wake();
    errno = saved;
}

void OnContinue(int) {
    const int saved = errno;
    gContinued.store(true);
    Wake();
    errno = saved;
}

void CatchSuspend() {
    struct sigaction action {};
    action.sa_handler = OnSuspend;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTSTP, &action, nullptr);
}

void OnResize(int) {
    const int saved = errno;
    gResized.store(true);
    Wake();
    errno = saved;
}

void OnFault(int signal) {
    RestoreTerminal(false);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

class TerminalBackend : public platform::display::Backend, DisplayLoop::Client {
public:
    TerminalBackend(DisplayLoop& loop, const TerminalKind& kind, std::unique_ptr<TerminalScreen> screen)
        : mLoop(loop), mScreen(std::move(screen)), mKind(kind), mLook{kind.rich && kind.utf8, kind.colours != ColourMode::None} {
        mThread = std::thread([this] { Run(); });
    }
    ~TerminalBackend() override { Shutdown(); }


    void WindowChanged(HWND) override {
        mLoop.Invalidate();
    }

    int ShowMessageBox(HWND, const char* text, const char* caption, UINT) override {
        std::unique_lock<std::mutex> lock(mMutex);
        if (mStopping) return IDOK;
        // Boxes are answered in the order they were asked: this one is answered once all that
        // are queued now, itself the last, have been.
        mBoxes.push_back(BoxContent{text, caption});
        const unsigned long id = mBoxesAnswered + mBoxes.size();
        mLoop.Invalidate();
        mBoxAnswered.wait(lock, [&] { return mStopping || mBoxesAnswered >= id; });
        return IDOK;
    }

    // Ends the display thread and gives the terminal back; later calls do nothing.
    void Shutdown() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mStopping) return;
            mStopping = true;
        }
        mBoxAnswered.notify_all();
        Wake();
        // WATCHOUT: called from an exit handler; the display thread never waits for another
        // thread, so it finishes its current frame and ends.
        if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
        RestoreTerminal(true);
    }

private:
    void Run() {
        // The end of a stopped program waits for this thread: a frame blocked on a terminal
        // that takes nothing is cut short then.
        platform::CutOnStop();
        mLoop.Run(*this);
        platform::ForgetCutting();
    }

    // --- the display thread's loop (DisplayLoop) -------------------------------------------------

    bool Stopping() override {
        std::lock_guard<std::mutex> lock(mMutex);
        return mStopping;
    }

    void Handle(short input) override {
        if (gResized.exchange(false)) {
            mShown = CellFrame();   // everything is drawn anew at the new size
            mLoop.MarkChanged();
        }
        if (gSuspendAsked.exchange(false)) Suspend();
        // Continued after a stop that was not ours (SIGSTOP), or brought back from the
        // background: the terminal is taken (again) and drawn anew.
        if (gContinued.exchange(false) || mAway) ComeBack();
        if (mAway) return;
        if (input & (POLLIN | POLLHUP | POLLERR)) HandleInput();
        if (mKeys.HasPending() && Clock::now() - mLastInput >= kEscapeWait) {
            TerminalEvent event;
            while (mKeys.Next(&event, true)) Handle(event);
        }
    }

    // Away from the terminal, only a signal or a look at the foreground wakes it.
    bool MayDraw() override { return !mAway; }

    // Drawn now and then although nothing changed.
    bool WantsRefresh(Clock::duration sinceLastFrame) override { return sinceLastFrame >= kIdleRefresh; }

    int InputDescriptor() override { return mInputOpen && !mAway ? gTty : -1; }

    // A lone Escape becomes a key once no more of a sequence can come.
    Clock::duration LongestWait(Clock::time_point now) override {
        Clock::duration wait = kIdleRefresh;
        if (!mAway && mKeys.HasPending())
            wait = std::min<Clock::duration>(wait, std::max<Clock::duration>(Clock::duration::zero(), mLastInput + kEscapeWait - now));
        return wait;
    }

    // Ctrl-Z: the terminal as the shell wants it, then the job stops, as any program's does.
    // Once continued (fg), the window comes back where it was.
    void Suspend() {
        // Started with the stop ignored (no job control to bring it back): Ctrl-Z does nothing.
        if (!gMaySuspend) return;
        GiveTerminalBack();
        mAway = true;
        gContinued.store(false);
        signal(SIGTSTP, SIG_DFL);
        kill(0, SIGTSTP);
        // The stop comes at once; a job that the system does not stop (its shell is gone) goes
        // on after a moment. The handler is back only once the stop is over, so the stop is
        // never taken for a new one.
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(100);
        while (!gContinued.load() && Clock::now() < deadline) mLoop.WaitForWake(std::chrono::milliseconds(10));
        CatchSuspend();
        gContinued.store(false);
        ComeBack();
    }

    // Takes the terminal again if the program is in its foreground; in the background (`bg`)
    // it draws nothing and reads no keys until it is brought back.
    void ComeBack() {
        if (!InTheForeground()) {
            if (gScreenTaken.load()) GiveTerminalBack();
            mAway = true;
            return;
        }
        // What the shell set while the program was away is what the end gives back.
        if (mAway) tcgetattr(gTty, &gSavedMode);
        TakeTerminal(mKind);
        mAway = false;
        mInputOpen = true;
        mShown = CellFrame();
        mLoop.MarkChanged();
    }

    void HandleInput() {
        char bytes[256];
        const ssize_t got = read(gTty, bytes, sizeof bytes);
        if (got <= 0) {
            // The terminal hung up (its hang-up signal closes the window) or read nothing now.
            if (got == 0 || (errno != EINTR && errno != EAGAIN)) mInputOpen = false;
            return;
        }
        mKeys.Feed(bytes, static_cast<std::size_t>(got));
        mLastInput = Clock::now();
        TerminalEvent event;
        while (mKeys.Next(&event, false)) Handle(event);
    }

    void AnswerBox() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mBoxes.empty()) return;
            mBoxes.pop_front();
            ++mBoxesAnswered;
        }
        mBoxAnswered.notify_all();
        mLoop.MarkChanged();
    }

    // The box on the screen: the first one asked and not yet answered.
    std::optional<BoxContent> ShownBox() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mBoxes.empty() ? std::nullopt : std::optional<BoxContent>(mBoxes.front());
    }

    void Handle(const TerminalEvent& event) {
        const HWND main = MainWindow();
        if (event.kind == TerminalEvent::Kind::Interrupt) {
            // Ctrl-C: the terminal sends no interrupt signal in raw mode, so close the window here.
            if (main) PostMessageA(main, WM_CLOSE, 0, 0);
            return;
        }
        if (event.kind == TerminalEvent::Kind::Suspend) {
            Suspend();
            return;
        }
        const bool boxShown = ShownBox().has_value();
        if (event.kind == TerminalEvent::Kind::Key) {
            if (!boxShown) {
                if (main) platform::PostKeyPress(main, event.virtualKey);
            } else if (event.virtualKey == VK_RETURN || event.virtualKey == VK_ESCAPE || event.virtualKey == VK_SPACE) {
                AnswerBox();
            }
            return;
        }
        const int target = mLayout.Hit(event.column, event.row);
        if (event.kind == TerminalEvent::Kind::MousePress) {
            mPressedTarget = target;
            return;
        }
        const int pressed = std::exchange(mPressedTarget, -1);
        if (target < 0 || target != pressed) return;
        const Layout::Target& hit = mLayout.targets[static_cast<std::size_t>(target)];
        if (hit.isBoxButton && boxShown)
            AnswerBox();
        else if (!hit.isBoxButton && !boxShown && hit.window)
            platform::PostClick(hit.window);
    }

    void Draw() override {
        winsize size{};
        const bool sized = ioctl(gTty, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0;
        const std::optional<BoxContent> box = ShownBox();
        CellFrame frame(sized ? size.ws_col : 80, sized ? size.ws_row : 24, mKind.utf8);
        mLayout = mScreen->Draw(frame, box, mLook);
        WriteAll(gTty, frame.Difference(mShown, mKind.colours));
        mShown = std::move(frame);
    }

    DisplayLoop& mLoop;
    std::unique_ptr<TerminalScreen> mScreen;
    TerminalKind mKind;
    Look mLook;
    std::thread mThread;

    std::mutex mMutex;                  // guards what follows
    bool mStopping = false;
    std::deque<BoxContent> mBoxes;      // the front one is shown
    unsigned long mBoxesAnswered = 0;
    std::condition_variable mBoxAnswered;

    // Display thread only.
    KeyReader mKeys;
    Clock::time_point mLastInput{};
    CellFrame mShown;                   // what the terminal shows now
    Layout mLayout;                     // where the last frame put the buttons
    int mPressedTarget = -1;            // button under a mouse press: index into the layout
    bool mInputOpen = true;
    bool mAway = false;                 // the terminal is the shell's (suspended, in the background)
};

TerminalBackend* gBackend = nullptr;

void ShutdownAtExit() {
    if (gBackend) gBackend->Shutdown();
}

} // namespace

std::unique_ptr<platform::display::Backend> OpenTerminalDisplay(std::unique_ptr<TerminalScreen> screen) {
    if (gBackend) return nullptr;   // one terminal display per process
    const TerminalKind kind = KindOfTerminal([](const char* name) { return std::getenv(name); }, ReadTerminfo);
    // A terminal that cannot put the cursor anywhere can show no window: the program runs as
    // it does without any display.
    if (!kind.addressable) return nullptr;
    gTty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (gTty < 0) return nullptr;
    static DisplayLoop* const loop = new DisplayLoop;
    if (tcgetattr(gTty, &gSavedMode) != 0 || !loop->Ready()) {
        close(gTty);
        return nullptr;
    }
    gLoop = loop;

    HoldOutput(gTty);
    // Made once and never changed: the fault handler writes it as it stands.
    static const std::string leave = LeaveScreen(kind);
    gLeaveScreen = leave.c_str();
    TakeTerminal(kind);

    // glibc's signal() keeps the handler and restarts interrupted calls (SA_RESTART).
    std::signal(SIGWINCH, OnResize);
    std::signal(SIGCONT, OnContinue);
    struct sigaction inherited {};
    sigaction(SIGTSTP, nullptr, &inherited);
    gMaySuspend = inherited.sa_handler != SIG_IGN;
    if (gMaySuspend) CatchSuspend();
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(fault, OnFault);

    auto backend = std::make_unique<TerminalBackend>(*loop, kind, std::move(screen));
    gBackend = backend.get();
    // WATCHOUT: registered before the program's own exit handler, so it runs after it: what
    // that handler writes is still held back and comes out with the rest.
    std::atexit(ShutdownAtExit);
    return backend;
}
