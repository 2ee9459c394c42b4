#include "platform/runtime/Crt.h"

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using testsupport::TempDir;

TEST(Crt, TracksOpenStreams) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    std::FILE* a = crt::fopen(dir.File("a").c_str(), "wb");
    std::FILE* missing = crt::fopen(dir.File("nothing/here").c_str(), "rb");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(crt::OpenStreamCount(), before + 1);
    EXPECT_EQ(crt::fwrite("xyz", 1, 3, a), 3u);
    EXPECT_EQ(crt::fclose(a), 0);
    EXPECT_EQ(crt::OpenStreamCount(), before);
    EXPECT_EQ(testsupport::ReadFileText(dir.File("a")), "xyz");
}

// Shutting the gate is for good, so it is tried in a child process.
TEST(CrtDeathTest, CloseAllFlushesStreamsAndStopsOtherThreads) {
    TempDir dir;
    const std::string path = dir.File("out");
    const std::string late = dir.File("late");
    const std::string doomed = dir.File("doomed");
    testsupport::WriteFileText(doomed, "x");
    EXPECT_EXIT(
        {
            std::FILE* out = crt::fopen(path.c_str(), "wb");
            crt::fwrite("buffered", 1, 8, out); // still in the runtime's buffer
            std::atomic<bool> workerDone{false};
            std::atomic<bool> closed{false};
            std::thread worker([&] {
                while (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                // A worker that goes on after the exit handler: it must not get to create a file.
                std::FILE* f = crt::fopen(late.c_str(), "wb");
                if (f) crt::fclose(f);
                workerDone = true;
            });
            worker.detach();
            int n = crt::_fcloseall();
            closed = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            // The closing thread itself may still remove files.
            crt::remove(doomed.c_str());
            std::fprintf(stderr, "closed=%d done=%d", n, workerDone ? 1 : 0);
            std::fflush(stderr);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "closed=1 done=0");
    EXPECT_EQ(testsupport::ReadFileText(path), "buffered");
    EXPECT_FALSE(testsupport::FileExists(doomed));
    EXPECT_FALSE(testsupport::FileExists(late));
}
