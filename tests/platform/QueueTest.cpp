#include "tests/platform/Recorder.h"

#include "platform/user/Input.h"
#include "platform/user/Model.h"

#include <atomic>
#include <cstdio>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr UINT UM_PING = WM_USER + 1;
constexpr UINT UM_PONG = WM_USER + 2;
constexpr UINT UM_DONE = WM_USER + 9;

// Waits (without handling anything) until another thread's send has reached this thread.
bool SendArrives() {
    for (int i = 0; i < 5000; ++i) {
        if (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

} // namespace

using Queues = WindowTest;

TEST_F(Queues, SendToOwnThreadCallsTheProcedureDirectly) {
    HWND window = Keep(MakeRecorderWindow());
    Recorder::React(UM_PING, [](HWND, WPARAM w, LPARAM l) -> LRESULT { return static_cast<LRESULT>(w) + l; });
    EXPECT_EQ(SendMessageA(window, UM_PING, 40, 2), 42);
    EXPECT_EQ(HIWORD(GetQueueStatus(QS_POSTMESSAGE | QS_SENDMESSAGE)), 0);
}

TEST_F(Queues, SentComeFirstThenPostedThenInputThenPaintThenQuit) {
    HWND window = Keep(MakeRecorderWindow());
    PumpPending(); // painted once, nothing waiting
    Recorder::React(UM_PONG, [](HWND, WPARAM, LPARAM) -> LRESULT { return 77; });

    platform::PostInput(window, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(window, UM_PING, 1, 0);
    InvalidateRect(window, nullptr, FALSE);
    LRESULT reply = 0;
    std::thread sender([&] { reply = SendMessageA(window, UM_PONG, 0, 0); });
    ASSERT_TRUE(SendArrives());

    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, UM_PING);
    EXPECT_TRUE(Recorder::Saw(window, UM_PONG)); // handled inside GetMessageA, never returned
    sender.join();
    EXPECT_EQ(reply, 77);
    DispatchMessageA(&msg);

    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_TRUE(TranslateMessage(&msg)); // Return stands for a character: WM_CHAR is posted
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, VK_RETURN);

    // Painting comes last and stays until the window is validated.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageA(&msg); // the default processing validates
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

    PostQuitMessage(3);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Queues, FiltersChooseWindowAndRangeAndPeekCanLeaveMessages) {
    HWND a = Keep(MakeRecorderWindow());
    HWND b = Keep(MakeRecorderWindow());
    PumpPending();
    PostMessageA(a, UM_PING, 0, 0);
    PostMessageA(b, UM_PONG, 0, 0);
    PostMessageA(nullptr, UM_DONE, 0, 0); // to the thread itself
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UM_PONG);
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UM_DONE);
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, UM_PONG, UM_PONG));
    EXPECT_EQ(msg.hwnd, b);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, a);
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x7777), 0, 0), -1);
}

// The worker's item calls wait for the window thread: when they return, the window has handled
// them. A notification returns before it is handled, with its own copy of the text, and is
// handled before the worker's next send.
TEST_F(Queues, ItemCallsFromAnotherThreadWaitUntilHandledNotificationsKeepTheirTurn) {
    HWND top = Keep(MakeRecorderWindow());
    HWND label = MakeChild(top, "Recorder", 1002);
    const std::thread::id windowThread = std::this_thread::get_id();
    std::atomic<bool> handled{false};
    std::vector<std::string> texts;   // as the window thread was given them
    Recorder::React(WM_SETTEXT, [&](HWND window, WPARAM w, LPARAM l) -> LRESULT {
        std::this_thread::sleep_for(30ms); // a slow window thread
        texts.emplace_back(reinterpret_cast<const char*>(l));
        const LRESULT result = DefWindowProcA(window, WM_SETTEXT, w, l);
        handled = true;
        return result;
    });

    bool handledOnReturn = false;
    std::string textOnReturn;
    std::string readBack;
    bool notifiedAtOnce = false;
    std::string readAfterNotes;
    std::thread worker([&] {
        SetDlgItemTextA(top, 1002, "piano.wav");
        handledOnReturn = handled;
        platform::WindowView view;
        platform::InspectWindow(label, &view);
        textOnReturn = view.text;
        char buffer[32];
        GetDlgItemTextA(top, 1002, buffer, sizeof buffer);
        readBack = buffer;

        handled = false;
        char text[32] = "organ.wav";
        notifiedAtOnce = SendNotifyMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) && !handled;
        std::snprintf(text, sizeof text, "%s", "overwritten");
        SendNotifyMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("flute.wav"));
        GetDlgItemTextA(top, 1002, buffer, sizeof buffer);
        readAfterNotes = buffer;
        PostMessageA(top, UM_DONE, 0, 0);
    });
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) && msg.message != UM_DONE) DispatchMessageA(&msg);
    worker.join();

    EXPECT_TRUE(handledOnReturn);
    EXPECT_EQ(textOnReturn, "piano.wav");
    EXPECT_EQ(readBack, "piano.wav");
    EXPECT_TRUE(notifiedAtOnce) << "the notification waited for the window thread";
    EXPECT_EQ(readAfterNotes, "flute.wav");
    EXPECT_EQ(texts, (std::vector<std::string>{"piano.wav", "organ.wav", "flute.wav"}));
    for (const SeenMessage& seen : Recorder::Log()) EXPECT_EQ(seen.thread, windowThread);
}

// The window thread, while handling the worker's send, sends to a window of the worker: the
// worker handles that while it waits.
TEST_F(Queues, SendsBackDuringASendDoNotDeadlock) {
    HWND mainWindow = Keep(MakeRecorderWindow());
    std::atomic<HWND> workerWindow{nullptr};
    Recorder::React(UM_PING, [&](HWND, WPARAM, LPARAM) -> LRESULT {
        return SendMessageA(workerWindow, UM_PONG, 0, 0) + 1;
    });
    Recorder::React(UM_PONG, [](HWND, WPARAM, LPARAM) -> LRESULT { return 10; });

    std::atomic<bool> done{false};
    LRESULT reply = 0;
    std::thread::id workerThread;
    std::thread worker([&] {
        workerThread = std::this_thread::get_id();
        workerWindow = MakeRecorderWindow("worker");
        reply = SendMessageA(mainWindow, UM_PING, 0, 0);
        DestroyWindow(workerWindow);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();

    EXPECT_EQ(reply, 11);
    std::vector<std::pair<UINT, bool>> order; // message, handled on the worker's thread
    for (const SeenMessage& seen : Recorder::Log()) {
        if (seen.message == UM_PING || seen.message == UM_PONG) {
            order.emplace_back(seen.message, seen.thread == workerThread);
        }
    }
    EXPECT_EQ(order, (std::vector<std::pair<UINT, bool>>{{UM_PING, false}, {UM_PONG, true}}));
}

TEST_F(Queues, MessagesForDestroyedWindowsAreDropped) {
    HWND window = MakeRecorderWindow();
    PostMessageA(window, UM_PING, 0, 0);
    LRESULT reply = -5;
    std::thread sender([&] { reply = SendMessageA(window, UM_PONG, 0, 0); });
    ASSERT_TRUE(SendArrives());
    DestroyWindow(window);
    PumpPending();
    sender.join();
    EXPECT_EQ(reply, 0);
    EXPECT_FALSE(Recorder::Saw(window, UM_PING));
    EXPECT_FALSE(Recorder::Saw(window, UM_PONG));
}

// When a thread ends its windows go, and a sender still waiting for it gets 0.
TEST_F(Queues, AThreadsWindowsEndWithIt) {
    std::atomic<HWND> window{nullptr};
    std::thread owner([&] {
        window = MakeRecorderWindow("short-lived");
        SendArrives(); // ends without ever handling the send
    });
    while (!window) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(SendMessageA(window, UM_PING, 0, 0), 0);
    owner.join();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessageA(window, UM_PING, 0, 0));
    EXPECT_FALSE(Recorder::Saw(window, UM_PING));
}
