// The helper decoder's frames go to the ring past its cache or through it, whichever the two
// cores' distance favours; both ways must give the bytes a plain interleave gives, whatever the
// alignment of the frames and however many there are.
#include "stream/FrameInterleave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

TEST(FrameInterleave, FramesPastTheCacheAreTheFramesStored) {
    std::vector<std::uint8_t> left(2 * 300), right(2 * 300);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = static_cast<std::uint8_t>(i * 7 + 1);
        right[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    for (std::int64_t count : {0, 1, 31, 32, 33, 64, 65, 299, 300}) {
        for (std::size_t offset : {0, 4, 60}) {
            // The frames as the plain loop makes them: each channel's big-endian sample turned
            // little-endian, left first.
            std::vector<std::uint8_t> expected(4 * static_cast<std::size_t>(count));
            for (std::int64_t i = 0; i < count; ++i) {
                const auto at = static_cast<std::size_t>(i);
                expected[4 * at] = left[2 * at + 1];
                expected[4 * at + 1] = left[2 * at];
                expected[4 * at + 2] = right[2 * at + 1];
                expected[4 * at + 3] = right[2 * at];
            }
            alignas(64) std::uint8_t stored[64 + 4 * 300];
            alignas(64) std::uint8_t past[64 + 4 * 300];
            alignas(64) std::uint8_t copied[64 + 4 * 300];
            InterleaveStereo(left.data(), right.data(), stored + offset, count, false);
            InterleaveStereo(left.data(), right.data(), past + offset, count, true);
            CopyFramesForOtherCore(expected.data(), copied + offset, 4 * count);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stored + offset)) << count << " frames at " << offset;
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), past + offset)) << count << " frames at " << offset;
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), copied + offset)) << count << " frames at " << offset;
        }
    }
}
