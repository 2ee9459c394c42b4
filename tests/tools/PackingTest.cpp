// The predictor residuals and the group packing, against packed bytes worked out by hand from
// the format, and against an exhaustive search for the best grouping.
#include "tests/tools/KobReading.h"
#include "tools/kobenc/BlockEncoder.h"
#include "tools/kobenc/GroupPacker.h"
#include "tools/kobenc/Predictor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace kobenc;

namespace {

std::vector<std::uint8_t> Pack(int mode, std::vector<std::int16_t> samples, std::optional<int> width = {}) {
    BlockOptions options;
    options.forcedMode = mode;
    options.forcedWidth = width;
    return EncodeBlock(1, 0, samples, options).packed;
}

using B = std::vector<std::uint8_t>;

} // namespace

TEST(Packing, HandWorkedBlocks) {
    // Mode 3, residuals 5, -1, -2, 3: one 4-bit group is the cheapest grouping.
    EXPECT_EQ(Pack(3, {5, 4, 2, 5}), (B{0x23, 0x5F, 0xE3}));
    // Mode 2 at a forced 16 bits: the residuals are the samples.
    EXPECT_EQ(Pack(2, {0x1234, -2}, 16), (B{0xE1, 0x12, 0x34, 0xFF, 0xFE}));
    // Left to itself the packer splits them: 14 bits for 0x1234, 2 bits for -2 (32 bits in all).
    EXPECT_EQ(Pack(2, {0x1234, -2}), (B{0xC0, 0x48, 0xD0, 0x02}));
    // Second order, plain and as running difference: the same residuals 1, 1, -1.
    EXPECT_EQ(Pack(4, {1, 3, 4}, 3), (B{0x12, 0x27, 0x80}));
    EXPECT_EQ(Pack(1, {1, 3, 4}, 3), (B{0x12, 0x27, 0x80}));
    // Third order is 3*(x1 - x2) - x3: residuals 1, 0, 0, 0, 0.
    EXPECT_EQ(Pack(5, {1, 3, 6, 8, 3}, 4), (B{0x24, 0x10, 0x00, 0x00}));
    EXPECT_EQ(Pack(5, {1, 3, 6, 8, 3}), (B{0x04, 0x40, 0x00}));
    // Full-scale steps wrap: +1 and -1, not +-65535.
    EXPECT_EQ(Pack(3, {32767, -32768}, 16), (B{0xE1, 0x7F, 0xFF, 0x00, 0x01}));
    EXPECT_EQ(Pack(3, {-32768, 32767}, 16), (B{0xE1, 0x80, 0x00, 0xFF, 0xFF}));
    // Silence packs as 2-bit zeros, 16 to a group: 8 + 32 + 8 + 2 bits.
    EXPECT_EQ(Pack(2, std::vector<std::int16_t>(17, 0)).size(), 7u);
    EXPECT_TRUE(Pack(3, {}).empty());
}

TEST(Packing, ResidualWidthsAtTheirLimits) {
    EXPECT_EQ(ResidualWidth(0), 2);
    EXPECT_EQ(ResidualWidth(1), 2);
    EXPECT_EQ(ResidualWidth(-2), 2);
    EXPECT_EQ(ResidualWidth(2), 3);
    EXPECT_EQ(ResidualWidth(-3), 3);
    EXPECT_EQ(ResidualWidth(32767), 16);
    EXPECT_EQ(ResidualWidth(-32768), 16);
    EXPECT_EQ(ResidualWidth(32768), 17);
    EXPECT_EQ(ResidualWidth(-65536), 17);
    EXPECT_THROW(ResidualWidth(65536), std::invalid_argument);
    EXPECT_THROW(ResidualWidth(-65537), std::invalid_argument);
}

TEST(Packing, ResidualsNeverNeedMoreThan16Bits) {
    // The wrapped representative is used, whatever the predictor makes of full-scale input.
    for (int mode = kFirstMode; mode <= kLastMode; ++mode) {
        const std::vector<std::int16_t> samples{32767, -32768, 32767, 32767, -32768, -32768, 32767, -32768};
        for (std::int32_t v : PredictResiduals(mode, samples.data(), samples.size())) {
            EXPECT_GE(v, -32768);
            EXPECT_LE(v, 32767);
        }
    }
    EXPECT_THROW(PredictResiduals(0, nullptr, 0), std::invalid_argument);
    EXPECT_THROW(PredictResiduals(6, nullptr, 0), std::invalid_argument);
}

TEST(Packing, ForcedWidthMustHoldEveryResidual) {
    EXPECT_THROW(Pack(2, {0, 7}, 3), std::invalid_argument); // 7 needs 4 bits
    EXPECT_NO_THROW(Pack(2, {0, 7}, 4));
    EXPECT_THROW(Pack(2, {0}, 1), std::invalid_argument);
    EXPECT_THROW(Pack(2, {0}, 18), std::invalid_argument);
    // 17-bit groups are legal even though no residual needs them.
    EXPECT_EQ(Pack(2, {-1}, 17), (B{0xF0, 0xFF, 0xFF, 0x80}));
}

TEST(Packing, GroupingIsTheCheapestThereIs) {
    // Compare with every way of cutting short residual runs into groups of 1 to 16.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const std::size_t n = 1 + random() % 12;
        std::vector<std::int32_t> residuals(n);
        for (auto& v : residuals) {
            const int bits = 1 + static_cast<int>(random() % 16);
            v = static_cast<std::int32_t>(random() % (1u << bits)) - (1 << (bits - 1));
        }
        std::size_t cheapest = SIZE_MAX;
        for (std::uint32_t cuts = 0; cuts < (1u << (n - 1)); ++cuts) {
            std::size_t bits = 0, start = 0;
            for (std::size_t i = 1; i <= n; ++i) {
                if (i == n || (cuts >> (i - 1)) & 1u) {
                    int widest = 2;
                    for (std::size_t k = start; k < i; ++k) widest = std::max(widest, ResidualWidth(residuals[k]));
                    bits += 8 + (i - start) * static_cast<std::size_t>(widest);
                    start = i;
                }
            }
            cheapest = std::min(cheapest, bits);
        }
        const PackPlan plan = PlanGroups(residuals);
        ASSERT_EQ(plan.bits, cheapest) << "round " << round;
        EXPECT_EQ(WriteGroups(residuals, plan).size(), (cheapest + 7) / 8);
    }
}
