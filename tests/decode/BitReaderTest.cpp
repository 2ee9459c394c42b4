#include "decode/BitReader.h"

#include "GuardedBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Read {
    bool isSigned;
    std::int32_t width;
    std::int64_t expected;
};

struct ReadCase {
    std::vector<std::uint8_t> bytes;
    std::vector<Read> reads;
};

Read U(std::int32_t width, std::int64_t expected) { return {false, width, expected}; }
Read S(std::int32_t width, std::int64_t expected) { return {true, width, expected}; }

} // namespace

// Every range sits right in front of a guard page, so a read beyond it crashes the test.
TEST(BitReader, ReadsFieldsMostSignificantBitFirstThenZeros) {
    const std::vector<ReadCase> cases = {
        {{0xA5}, {U(4, 0xA), U(8, 0x50), U(3, 0)}},
        {{0xA5, 0x3C}, {U(3, 5), U(10, 0xA7), U(3, 4), U(5, 0)}},
        {{}, {U(4, 0), S(17, 0), U(32, 0), U(0, 0)}},
        {{0xE0, 0x60}, {S(3, -1), S(3, 0), S(3, 0), U(0, 0), S(7, -32)}},
        {{0x80, 0x00, 0x00}, {S(17, -65536), U(15, 0)}},
        {{0x12, 0x34, 0x56, 0x78, 0x9A}, {U(4, 1), U(32, 0x23456789), U(4, 0xA)}},
        {{0x12, 0x34, 0x56, 0x78, 0x9A}, {U(32, 0x12345678), U(8, 0x9A), U(1, 0)}},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xC0}, {S(32, -1), U(2, 3), S(2, 0)}},
        {{0xFF, 0xFF, 0xFF, 0xFF}, {U(1, 1), U(32, 0xFFFFFFFE)}},
        {{0xFF, 0xFF, 0xFF, 0xFF}, {U(1, 1), U(31, 0x7FFFFFFF), U(1, 0)}},
        {{0xAB}, {U(4, 0xA), U(20, 0xB0000), U(32, 0)}},
        {{0x7F, 0xFF, 0x80}, {S(17, 0xFFFF), S(1, 0)}},
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        GuardedBuffer range(cases[c].bytes);
        BitReader reader;
        reader.Init(range.data(), static_cast<std::int32_t>(range.size()));
        for (std::size_t r = 0; r < cases[c].reads.size(); ++r) {
            const Read& read = cases[c].reads[r];
            const std::int64_t got = read.isSigned ? std::int64_t{reader.GetSignedBits(read.width)}
                                                   : std::int64_t{reader.GetBits(read.width)};
            EXPECT_EQ(got, read.expected) << "case " << c << ", read " << r;
        }
    }
}

TEST(BitReader, LoadsTheNextByteAsSoonAsOneIsUsedUp) {
    const std::uint8_t bytes[] = {0xA5, 0x3C, 0x00};
    BitReader reader;
    EXPECT_EQ(&reader.Init(bytes, 2), &reader);
    EXPECT_EQ(reader.mByte, 0xA5);
    EXPECT_EQ(reader.mNext, bytes + 1);
    EXPECT_EQ(reader.mBitsLeft, 8);

    reader.GetBits(8);
    EXPECT_EQ(reader.mByte, 0x3C) << "the byte after a boundary is loaded by the read that reaches it";
    EXPECT_EQ(reader.mNext, bytes + 2);
    EXPECT_EQ(reader.mBitsLeft, 8);

    reader.GetBits(8);
    EXPECT_EQ(reader.mNext, bytes + 2) << "the reader never passes the end";
    EXPECT_EQ(reader.mByte, 0);
    EXPECT_EQ(reader.mBitsLeft, 8);

    // A read that straddles into the last byte and ends exactly on its boundary.
    reader.Init(bytes, 2);
    reader.GetBits(3);
    reader.GetBits(13);
    EXPECT_EQ(reader.mNext, bytes + 2);
    EXPECT_EQ(reader.mByte, 0);
    EXPECT_EQ(reader.mBitsLeft, 8);
}

TEST(BitReader, ReadsNothingBeyondItsRange) {
    // Long reads after the end, whole-byte ones included, would fault on the guard page.
    GuardedBuffer range({0x12, 0x34, 0x56});
    BitReader reader;
    reader.Init(range.data(), 3);
    EXPECT_EQ(reader.GetBits(5), 0x02u);
    for (int i = 0; i < 64; ++i)
        reader.GetBits(32);
    EXPECT_EQ(reader.mNext, range.data() + 3);
    EXPECT_EQ(reader.GetSignedBits(17), 0);

    GuardedBuffer empty(0);
    reader.Init(empty.data(), 0);
    EXPECT_EQ(reader.GetBits(32), 0u);
    EXPECT_EQ(reader.mNext, empty.data());
}

TEST(GuardedBuffer, TouchingTheByteAfterItFaults) {
    GuardedBuffer buffer({1, 2, 3});
    EXPECT_EQ(buffer.data()[2], 3);
    EXPECT_DEATH({ [[maybe_unused]] volatile std::uint8_t past = buffer.data()[3]; }, "");
}
