#include "platform/runtime/Crt.h"
#include "platform/runtime/ReadRing.h"

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>
#include <vector>
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

TEST(Crt, TwoPiecesWrittenAtAPlaceAreOneWriteThatAFullDiskCutsInHalf) {
    TempDir dir;
    std::FILE* file = crt::fopen(dir.File("two").c_str(), "w+b");
    ASSERT_NE(file, nullptr);
    crt::Unbuffered(file);
    ASSERT_EQ(crt::fwrite("0123456789", 1, 10, file), 10u);
    EXPECT_EQ(crt::WriteTwoAt("ab", 2, "cde", 3, file, 3), 5u);
    // The stream's own position is where the last fwrite left it.
    EXPECT_EQ(crt::ftell(file), 10);
    EXPECT_EQ(testsupport::ReadFileText(dir.File("two")), "012abcde89");
    // Half of eight bytes: both of the first piece, two of the second.
    crt::testing::Reset();
    crt::testing::ArmFault({crt::testing::Operation::Write, 1, ""}, ENOSPC);
    errno = 0;
    EXPECT_EQ(crt::WriteTwoAt("AB", 2, "CDEFGH", 6, file, 0), 4u);
    EXPECT_EQ(errno, ENOSPC);
    crt::testing::Disable();
    EXPECT_EQ(testsupport::ReadFileText(dir.File("two")), "ABCDbcde89");
    EXPECT_EQ(crt::fclose(file), 0);
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

TEST(ReadRing, StretchesThatWrapAreWholeAndNothingQueuedIsReadOver) {
    using platform::ReadRing;
    TempDir dir;
    // Three rings' worth of bytes, each telling its own position, from file byte 7 on.
    std::vector<std::uint8_t> bytes(3 * ReadRing::kSize + 7);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 13));
    testsupport::WriteFileBytes(dir.File("in"), bytes);
    std::FILE* file = crt::fopen(dir.File("in").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<std::uint8_t> memory(ReadRing::kBytes);
    ReadRing ring(memory.data());
    const auto length = static_cast<std::int64_t>(bytes.size()) - 7;
    ring.Start(file, 7, length);
    const auto same = [&](std::int64_t from, std::int64_t count) {
        return std::memcmp(ring.At(from), bytes.data() + 7 + from, static_cast<std::size_t>(count)) == 0;
    };
    // The reader moves on in steps that keep a live stretch of 600,000 bytes, across the ring's
    // end again and again: all of it is there, and a stretch of up to the mirror's length from
    // any of its positions lies at consecutive addresses, across the ring's end too.
    constexpr std::int64_t kLive = 600000;
    constexpr std::int64_t kMirror = ReadRing::kMirror;
    for (std::int64_t keep = 0; keep + kLive <= length; keep += 50000) {
        ASSERT_GE(ring.Fill(keep, keep + kLive), keep + kLive);
        for (std::int64_t at = keep; at < keep + kLive; at += kMirror / 2)
            ASSERT_TRUE(same(at, std::min(kMirror, keep + kLive - at))) << keep << " " << at;
        const std::int64_t end = (keep / ReadRing::kSize + 1) * ReadRing::kSize;
        if (end - 100 + kMirror <= keep + kLive) {
            ASSERT_TRUE(same(end - 100, kMirror)) << keep;
        }
        ASSERT_EQ(ring.PositionOf(ring.At(keep) + 12, keep + kLive), keep + 12);
    }
    // A stretch across the ring's end whose part behind it came in two readings, the first
    // ending just past the end.
    ring.Start(file, 7, length);
    ASSERT_EQ(ring.Fill(1000, ReadRing::kSize + 1000), ReadRing::kSize + 1000);
    ASSERT_GE(ring.Fill(ReadRing::kSize - 100, ReadRing::kSize + 40000), ReadRing::kSize + 40000);
    EXPECT_TRUE(same(ReadRing::kSize - 100, kMirror));
    // Not beyond a ring's length of what is kept.
    ring.Start(file, 7, length);
    EXPECT_EQ(ring.Fill(0, ReadRing::kSize), ReadRing::kSize);
    EXPECT_EQ(ring.Fill(0, ReadRing::kSize + 1), ReadRing::kSize);
    // A file shortened meanwhile gives what it still has, and then nothing more.
    ring.Start(file, 7, length);
    ASSERT_EQ(truncate(dir.File("in").c_str(), 100007), 0);
    EXPECT_EQ(ring.Fill(0, 300000), 100000);
    EXPECT_TRUE(same(0, 100000));
    EXPECT_EQ(ring.Fill(0, 300000), 100000);
    EXPECT_EQ(crt::fclose(file), 0);
}
