#include "platform/display/TerminalDisplay.h"

#include "platform/user/Input.h"
#include "platform/user/Model.h"
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/WinMessages.h"
#include "platform/display/terminal/CellFrame.h"
#include "platform/display/terminal/HeldOutput.h"
#include "platform/display/terminal/KeyReader.h"
#include "platform/display/terminal/PageText.h"
#include "platform/display/terminal/TerminalKind.h"
#include "platform/display/terminal/TerminalLayout.h"
#include "platform/display/terminal/WriteAll.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace platform::display::terminal;
using Clock = std::chrono::steady_clock;
using platform::display::terminal::MainWindow;

constexpr auto kFrameInterval = std::chrono::milliseconds(33);   // at most ~30 frames a second
constexpr auto kEscapeWait = std::chrono::milliseconds(40);      // a lone Escape is a key
constexpr auto kIdleRefresh = std::chrono::milliseconds(500);

// Entering and leaving the window's screen. An xterm-like terminal has an alternate screen
// (what was on the terminal comes back afterwards), a cursor that can be hidden and mouse
// reports; others get the screen cleared before and after.
constexpr char kEnterRich[] = "\x1b[?1049h\x1b[?25l\x1b[?1000h\x1b[?1006h\x1b[0m\x1b[2J";
constexpr char kLeaveRich[] = "\x1b[0m\x1b[?1006l\x1b[?1000l\x1b[2J\x1b[?25h\x1b[?1049l";
constexpr char kEnterPlain[] = "\x1b[0m\x1b[H\x1b[2J";
constexpr char kLeavePlain[] = "\x1b[0m\x1b[H\x1b[2J";

// What restoring the terminal needs, kept in plain globals so that a fault signal's handler can
// use them (only async-signal-safe calls there).
int gTty = -1;
struct termios gSavedMode;
const char* gLeaveScreen = kLeavePlain;
std::atomic<bool> gScreenTaken{false};
int gWakeWrite = -1;   // the display thread's wake-up pipe; never closed
std::atomic<bool> gResized{false};

void Wake() {
    if (gWakeWrite < 0) return;
    const char byte = 'w';
    // A full pipe already holds a wake-up: nothing is lost when this write fails.
    [[maybe_unused]] const ssize_t ignored = write(gWakeWrite, &byte, 1);
}

// Gives the terminal back as it was and writes out the held output. Safe in a signal handler
// when flushStdio is false; runs once.
void RestoreTerminal(bool flushStdio) {
    if (gScreenTaken.exchange(false)) {
        WriteAll(gTty, gLeaveScreen, std::strlen(gLeaveScreen));
        tcsetattr(gTty, TCSADRAIN, &gSavedMode);
    }
    HeldOutput::Release(flushStdio);
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

struct PendingBox {
    unsigned long id;
    std::string text;
    std::string caption;
};

class TerminalBackend : public platform::display::Backend {
public:
    TerminalBackend(int wakeRead, const TerminalKind& kind)
        : mWakeRead(wakeRead), mKind(kind), mLook{kind.rich && kind.utf8, kind.colours != ColourMode::None} {
        mThread = std::thread([this] { Run(); });
    }
    ~TerminalBackend() override { Shutdown(); }

    const char* Name() const override { return "terminal"; }

    void WindowChanged(HWND) override {
        if (!mDirty.exchange(true)) Wake();
    }

    int ShowMessageBox(HWND, const char* text, const char* caption, UINT) override {
        std::unique_lock<std::mutex> lock(mMutex);
        if (mStopping) return IDOK;
        const unsigned long id = ++mNextBox;
        mBoxes.push_back(PendingBox{id, text, caption});
        mDirty.store(true);
        Wake();
        mBoxAnswered.wait(lock, [&] {
            return mStopping ||
                   std::none_of(mBoxes.begin(), mBoxes.end(), [id](const PendingBox& box) { return box.id == id; });
        });
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
    void Run();
    void HandleInput();
    void Handle(const TerminalEvent& event);
    void Draw();
    void AnswerBox();

    int mWakeRead;
    TerminalKind mKind;
    Look mLook;
    std::thread mThread;

    std::atomic<bool> mDirty{true};
    std::mutex mMutex;                  // guards what follows
    bool mStopping = false;
    std::deque<PendingBox> mBoxes;      // the front one is shown
    unsigned long mNextBox = 0;
    std::condition_variable mBoxAnswered;

    // Display thread only.
    KeyReader mKeys;
    Clock::time_point mLastInput{};
    Clock::time_point mLastFrame{};
    CellFrame mShown;                   // what the terminal shows now
    PageCatalog mPages;                 // the words of the pictures
    Layout mLayout;                     // where the last frame put the buttons
    int mPressedTarget = -1;            // button under a mouse press: index into the layout
    bool mInputOpen = true;
};

void TerminalBackend::Run() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mStopping) return;
        }
        const Clock::time_point now = Clock::now();
        Clock::duration wait = kIdleRefresh;
        if (mDirty.load()) wait = std::max<Clock::duration>(Clock::duration::zero(), mLastFrame + kFrameInterval - now);
        if (mKeys.HasPending()) wait = std::min<Clock::duration>(wait, std::max<Clock::duration>(Clock::duration::zero(), mLastInput + kEscapeWait - now));

        pollfd fds[2] = {{mWakeRead, POLLIN, 0}, {mInputOpen ? gTty : -1, POLLIN, 0}};
        const int timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) std::this_thread::sleep_for(kFrameInterval);

        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(mWakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (gResized.exchange(false)) {
            mShown = CellFrame();   // everything is drawn anew at the new size
            mDirty.store(true);
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) HandleInput();
        if (mKeys.HasPending() && Clock::now() - mLastInput >= kEscapeWait) {
            TerminalEvent event;
            while (mKeys.Next(&event, true)) Handle(event);
        }
        const Clock::time_point later = Clock::now();
        if ((mDirty.load() && later - mLastFrame >= kFrameInterval) || later - mLastFrame >= kIdleRefresh) {
            mDirty.store(false);
            mLastFrame = later;
            Draw();
        }
    }
}

void TerminalBackend::HandleInput() {
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

void TerminalBackend::AnswerBox() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mBoxes.empty()) return;
        mBoxes.pop_front();
    }
    mBoxAnswered.notify_all();
    mDirty.store(true);
}

void TerminalBackend::Handle(const TerminalEvent& event) {
    const HWND main = MainWindow();
    if (event.kind == TerminalEvent::Kind::Interrupt) {
        // Ctrl-C: the terminal sends no interrupt signal in raw mode, so close the window here.
        if (main) PostMessageA(main, WM_CLOSE, 0, 0);
        return;
    }
    bool boxShown = false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        boxShown = !mBoxes.empty();
    }
    if (event.kind == TerminalEvent::Kind::Key) {
        if (boxShown) {
            if (event.virtualKey == VK_RETURN || event.virtualKey == VK_ESCAPE ||
                event.virtualKey == VK_SPACE)
                AnswerBox();
            return;
        }
        if (main) platform::PostKeyPress(main, event.virtualKey);
        return;
    }
    const int target = mLayout.Hit(event.column, event.row);
    if (event.kind == TerminalEvent::Kind::MousePress) {
        mPressedTarget = target;
        return;
    }
    const int pressed = mPressedTarget;
    mPressedTarget = -1;
    if (target < 0 || target != pressed) return;
    const Layout::Target& hit = mLayout.targets[static_cast<std::size_t>(target)];
    if (hit.isBoxButton) {
        if (boxShown) AnswerBox();
    } else if (!boxShown && hit.window) {
        platform::PostClick(hit.window);
    }
}

void TerminalBackend::Draw() {
    winsize size{};
    int columns = 80, rows = 24;
    if (ioctl(gTty, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        columns = size.ws_col;
        rows = size.ws_row;
    }
    std::optional<BoxContent> box;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mBoxes.empty()) box = BoxContent{mBoxes.front().text, mBoxes.front().caption};
    }
    CellFrame frame(columns, rows, mKind.utf8);
    WindowScene scene = ReadWindowScene(MainWindow());
    scene.page = mPages.Shown(scene.picture);
    mLayout = DrawScreen(frame, scene, box, mLook);
    const std::string bytes = frame.Difference(mShown, mKind.colours);
    if (!bytes.empty()) WriteAll(gTty, bytes.data(), bytes.size());
    mShown = std::move(frame);
}

TerminalBackend* gBackend = nullptr;

void ShutdownAtExit() {
    if (gBackend) gBackend->Shutdown();
}

} // namespace

std::unique_ptr<platform::display::Backend> OpenTerminalDisplay() {
    if (gBackend) return nullptr;   // one terminal display per process
    const TerminalKind kind = KindOfTerminal([](const char* name) { return std::getenv(name); });
    // A terminal that cannot put the cursor anywhere can show no window: the program runs as
    // it does without any display.
    if (!kind.addressable) return nullptr;
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return nullptr;
    struct termios mode;
    int wake[2];
    if (tcgetattr(tty, &mode) != 0 || pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(tty);
        return nullptr;
    }
    gTty = tty;
    gSavedMode = mode;
    gWakeWrite = wake[1];

    HeldOutput::Begin(tty);
    struct termios raw = mode;
    raw.c_iflag &= static_cast<tcflag_t>(~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON));
    raw.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL | ICANON | ISIG | IEXTEN));
    raw.c_cflag = static_cast<tcflag_t>((raw.c_cflag & ~(CSIZE | PARENB)) | CS8);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(tty, TCSADRAIN, &raw);
    gLeaveScreen = kind.rich ? kLeaveRich : kLeavePlain;
    gScreenTaken.store(true);
    const char* enter = kind.rich ? kEnterRich : kEnterPlain;
    WriteAll(tty, enter, std::strlen(enter));

    struct sigaction resize{};
    resize.sa_handler = OnResize;
    resize.sa_flags = SA_RESTART;
    sigemptyset(&resize.sa_mask);
    sigaction(SIGWINCH, &resize, nullptr);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(fault, OnFault);

    auto backend = std::make_unique<TerminalBackend>(wake[0], kind);
    gBackend = backend.get();
    // WATCHOUT: registered before the program's own exit handler, so it runs after it: what
    // that handler writes is still held back and comes out with the rest.
    std::atexit(ShutdownAtExit);
    return backend;
}
