#include "tests/platform/Recorder.h"

#include "platform/user/HeadlessDisplay.h"

#include <atomic>
#include <memory>
#include <string>

namespace {

// The headless display, noting how things stood while the box was up.
class WatchingDisplay : public platform::display::HeadlessBackend {
public:
    struct Seen {
        HWND owner = nullptr;
        bool ownerEnabled = true;
        std::thread::id thread;
    };
    explicit WatchingDisplay(Seen* seen) : mSeen(seen) {}
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) override {
        mSeen->owner = owner;
        mSeen->ownerEnabled = IsWindowEnabled(owner) != FALSE;
        mSeen->thread = std::this_thread::get_id();
        return HeadlessBackend::ShowMessageBox(owner, text, caption, style);
    }

private:
    Seen* mSeen;
};

class MessageBoxes : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::display::Install(std::make_unique<WatchingDisplay>(&mSeen));
    }
    void TearDown() override {
        platform::display::Install(nullptr);
        WindowTest::TearDown();
    }
    WatchingDisplay::Seen mSeen;
};

} // namespace

TEST_F(MessageBoxes, HeadlessBoxIsOneLineOnStandardError) {
    HWND owner = Keep(MakeRecorderWindow());
    HWND button = MakeChild(owner, "button", 3, "Abort");
    testing::internal::CaptureStderr();
    const int answer = MessageBoxA(button, "x.kob is not a KOB file or corrupted", nullptr,
                                   MB_ICONHAND | MB_SETFOREGROUND);
    const int second = MessageBoxA(nullptr, "second", "Note", MB_OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: x.kob is not a KOB file or corrupted\nNote: second\n");
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(second, IDOK);
}

TEST_F(MessageBoxes, OwnerIsDisabledWhileTheBoxIsUp) {
    HWND owner = Keep(MakeRecorderWindow());
    HWND button = MakeChild(owner, "button", 3, "Abort");
    testing::internal::CaptureStderr();
    MessageBoxA(button, "text", nullptr, MB_OK); // a child names its top-level window
    EXPECT_EQ(mSeen.owner, owner);
    EXPECT_FALSE(mSeen.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));

    // An owner that was disabled already stays so.
    EnableWindow(owner, FALSE);
    MessageBoxA(owner, "text", nullptr, MB_OK);
    EXPECT_FALSE(IsWindowEnabled(owner));
    testing::internal::GetCapturedStderr();
}

// The worker's box over the window thread's window: the window thread disables and enables its
// window while the worker waits.
TEST_F(MessageBoxes, BoxFromAnotherThreadDisablesTheOwnerOnItsThread) {
    HWND owner = Keep(MakeRecorderWindow());
    std::atomic<bool> done{false};
    int answer = 0;
    std::thread::id workerThread;
    testing::internal::CaptureStderr();
    std::thread worker([&] {
        workerThread = std::this_thread::get_id();
        answer = MessageBoxA(owner, "late", nullptr, MB_ICONHAND);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: late\n");
    EXPECT_EQ(answer, IDOK);
    EXPECT_FALSE(mSeen.ownerEnabled);
    EXPECT_EQ(mSeen.thread, workerThread);

    std::vector<std::pair<WPARAM, std::thread::id>> enables;
    for (const SeenMessage& seen : Recorder::Log()) {
        if (seen.window == owner && seen.message == WM_ENABLE) enables.emplace_back(seen.wParam, seen.thread);
    }
    const std::thread::id me = std::this_thread::get_id();
    EXPECT_EQ(enables, (std::vector<std::pair<WPARAM, std::thread::id>>{{FALSE, me}, {TRUE, me}}));
    EXPECT_TRUE(IsWindowEnabled(owner));
}
