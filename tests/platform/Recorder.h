// What window procedures saw, for tests that compare message sequences.
//
// Windows of the class "Recorder" log every message with the thread that handled it, then run
// the reaction the test set for that message (if any) or the default processing.
//
//     Recorder::Reset();
//     HWND w = MakeRecorderWindow("top");
//     Recorder::React(WM_USER, [](HWND, WPARAM, LPARAM) -> LRESULT { return 42; });
//     EXPECT_EQ(Recorder::MessagesOf(w), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
#pragma once

#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

struct SeenMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::thread::id thread;
};

namespace Recorder {

using Reaction = std::function<LRESULT(HWND window, WPARAM wParam, LPARAM lParam)>;

// Clears the log and the reactions.
void Reset();
void React(UINT message, Reaction reaction);
std::vector<SeenMessage> Log();
// The messages one window saw, in order, leaving out those in `ignored`.
std::vector<UINT> MessagesOf(HWND window, const std::vector<UINT>& ignored = {});
// Whether `window` saw `message`.
bool Saw(HWND window, UINT message);

} // namespace Recorder

// A top-level window of the class "Recorder", visible, at `place` (200 x 100 at the origin).
HWND MakeRecorderWindow(const char* text = "", RECT place = {0, 0, 200, 100});
// A child of any class, with control id `id`, 50 x 20 at (10, 10).
HWND MakeChild(HWND parent, const char* className, int id, const char* text = "",
               DWORD style = WS_VISIBLE);

// Whether `window` is seen: it and each parent up to its top-level window are visible.
bool Seen(HWND window);
// The window among `top` and its descendants that has the keyboard focus; null for none.
HWND FocusedIn(HWND top);

// Handles the calling thread's messages until `done` holds; false after the timeout.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Handles every message waiting now, painting included.
void PumpPending();

// Starts each test with an empty log and no reactions, and leaves no window and no message
// behind for the next one. Windows made with Keep() are destroyed at the end.
class WindowTest : public testing::Test {
protected:
    void SetUp() override { Recorder::Reset(); }
    void TearDown() override {
        for (HWND window : mKept) DestroyWindow(window);
        PumpPending();
        Recorder::Reset();
    }
    HWND Keep(HWND window) {
        mKept.push_back(window);
        return window;
    }

private:
    std::vector<HWND> mKept;
};
