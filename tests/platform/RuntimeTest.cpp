#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct EndingThread {
    std::promise<void> unwound;      // kept by the start routine's local guard
    std::atomic<bool> returned{false};
    std::atomic<int> depthReached{0};
    std::atomic<bool> pastEnd{false};
    std::atomic<HWND> window{nullptr};
};

// Set when the thread's stack is unwound past the start routine's locals.
struct Guard {
    EndingThread* state;
    ~Guard() { state->unwound.set_value(); }
};

void Innermost(EndingThread* state) {
    state->depthReached = 3;
    _endthread();
}

void Middle(EndingThread* state) {
    state->depthReached = 2;
    Innermost(state);
    state->pastEnd = true;
}

void Outer(EndingThread* state) {
    state->depthReached = 1;
    Middle(state);
    state->pastEnd = true;
}

void EndingStart(void* argument) {
    auto* state = static_cast<EndingThread*>(argument);
    Guard guard{state};
    state->window = CreateWindowExA(0, "static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    nullptr, nullptr);
    Outer(state);
    state->returned = true;
}

std::vector<std::string> Split(char* text, const char* delimiters) {
    std::vector<std::string> pieces;
    for (char* piece = crt::strtok(text, delimiters); piece; piece = crt::strtok(nullptr, delimiters)) {
        pieces.emplace_back(piece);
    }
    return pieces;
}

} // namespace

TEST(Runtime, EndThreadFromDeepInsideEndsTheThread) {
    EndingThread state;
    std::future<void> unwound = state.unwound.get_future();
    ASSERT_NE(_beginthread(EndingStart, 0, &state), static_cast<std::uintptr_t>(-1));
    ASSERT_EQ(unwound.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(state.depthReached, 3);
    EXPECT_FALSE(state.pastEnd);
    EXPECT_FALSE(state.returned);
    // The thread is really gone: its window went with it.
    ASSERT_NE(state.window.load(), nullptr);
    for (int i = 0; i < 5000 && IsWindow(state.window); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(IsWindow(state.window));
}

TEST(Runtime, BeginThreadPassesItsArgumentAndRefusesNoRoutine) {
    struct Started {
        std::promise<std::thread::id> thread;
        int value = 0;
    } started;
    started.value = 41;
    auto start = [](void* argument) {
        auto* s = static_cast<Started*>(argument);
        ++s->value;
        s->thread.set_value(std::this_thread::get_id());
    };
    std::future<std::thread::id> thread = started.thread.get_future();
    ASSERT_NE(_beginthread(start, 64 * 1024, &started), static_cast<std::uintptr_t>(-1));
    ASSERT_EQ(thread.wait_for(5s), std::future_status::ready);
    EXPECT_NE(thread.get(), std::this_thread::get_id());
    EXPECT_EQ(started.value, 42);
    EXPECT_EQ(_beginthread(nullptr, 0, nullptr), static_cast<std::uintptr_t>(-1));
}

TEST(Runtime, StrtokSplitsAsTheCLibraryDoes) {
    char text[] = "  a.kob   \"my file\".kob\tb  ";
    EXPECT_EQ(Split(text, " "), (std::vector<std::string>{"a.kob", "\"my", "file\".kob\tb"}));
    char spaces[] = "   ";
    EXPECT_TRUE(Split(spaces, " ").empty());
    EXPECT_EQ(crt::strtok(nullptr, " "), nullptr); // still nothing after the end
}

TEST(Runtime, StrtokKeepsItsPositionPerThread) {
    char mine[] = "one two three";
    EXPECT_STREQ(crt::strtok(mine, " "), "one");
    std::vector<std::string> theirs;
    std::thread other([&] {
        char text[] = "x y";
        EXPECT_EQ(crt::strtok(nullptr, " "), nullptr); // this thread has begun nothing
        theirs = Split(text, " ");
    });
    other.join();
    EXPECT_EQ(theirs, (std::vector<std::string>{"x", "y"}));
    EXPECT_STREQ(crt::strtok(nullptr, " "), "two");
    EXPECT_STREQ(crt::strtok(nullptr, " "), "three");
    EXPECT_EQ(crt::strtok(nullptr, " "), nullptr);
}

TEST(Runtime, VersionIsTheNtFamilyUnlessATestSaysOtherwise) {
    const DWORD version = GetVersion();
    EXPECT_EQ(version & 0x80000000u, 0u);
    EXPECT_EQ(version & 0xFFu, 6u);
    platform::SetReportedVersionForTesting(0x80000003u); // an old family, version 3
    EXPECT_EQ(GetVersion(), 0x80000003u);
    platform::SetReportedVersionForTesting(version);
    EXPECT_EQ(GetVersion(), version);
}
