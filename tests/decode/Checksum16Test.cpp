#include "decode/Checksum16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

TEST(Checksum16, KnownValues) {
    EXPECT_EQ(Checksum16(nullptr, 0), 0xFDED);
    EXPECT_EQ(Checksum16("abc", -3), 0xFDED) << "a negative length reads nothing";
    EXPECT_EQ(Checksum16("abc", 3), 0xAB98);
    std::vector<std::uint8_t> zeros(400, 0);
    EXPECT_EQ(Checksum16(zeros.data(), 400), 0xD270);
}

TEST(Checksum16, HighBytesAreSignExtended) {
    const std::uint8_t high = 0x80;
    EXPECT_EQ(Checksum16(&high, 1), 0xB536) << "0xCAB6 would mean zero extension";
}

namespace {

// The register one byte at a time, as the format defines it: the fast routine must give its
// value for every input.
std::uint16_t ByteAtATime(const std::uint8_t* bytes, std::int32_t length) {
    std::uint16_t state = 0xFDED;
    for (std::int32_t i = 0; i < length; ++i) {
        state = static_cast<std::uint16_t>(state ^ static_cast<std::uint16_t>(static_cast<std::int8_t>(bytes[i])));
        state = static_cast<std::uint16_t>((state & 1u) ? (state >> 1) ^ 0xB400u : state >> 1);
    }
    return state;
}

constexpr DecodeWay kWays[] = {DecodeWay::kFastest, DecodeWay::kPlain};

} // namespace

TEST(Checksum16, EqualsTheByteLoopOnEveryShortInput) {
    std::uint8_t bytes[2];
    for (int a = 0; a < 256; ++a) {
        bytes[0] = static_cast<std::uint8_t>(a);
        ASSERT_EQ(Checksum16(bytes, 1), ByteAtATime(bytes, 1)) << a;
        for (int b = 0; b < 256; ++b) {
            bytes[1] = static_cast<std::uint8_t>(b);
            ASSERT_EQ(Checksum16(bytes, 2), ByteAtATime(bytes, 2)) << a << " " << b;
        }
    }
}

TEST(Checksum16, EqualsTheByteLoopOnRandomBuffers) {
    std::mt19937 random(5);
    std::vector<std::uint8_t> buffer(16384 + 64);
    auto fill = [&](std::size_t from, std::size_t count) {
        // Runs of 0x00 and 0xFF as well as noise: long runs are what real silence looks like.
        const auto kind = random() % 3;
        for (std::size_t k = from; k < from + count; ++k)
            buffer[k] = kind == 0 ? 0 : kind == 1 ? 0xFF : static_cast<std::uint8_t>(random());
    };
    for (const DecodeWay way : kWays) {
        SCOPED_TRACE(way == DecodeWay::kPlain ? "plain" : "fastest");
        // Millions of short buffers at every alignment: the rounds, the wide way's chunks and the
        // bytes after them.
        for (int n = 0; n < 2'000'000; ++n) {
            const std::size_t at = random() % 64;
            const auto length = static_cast<std::int32_t>(random() % 160);
            fill(at, static_cast<std::size_t>(length));
            ASSERT_EQ(Checksum16(buffer.data() + at, length, way), ByteAtATime(buffer.data() + at, length))
                << "length " << length << " at " << at;
        }
        // Every length up to the largest block, each at some alignment.
        for (std::int32_t length = 0; length <= 16384; ++length) {
            const std::size_t at = random() % 64;
            fill(at, static_cast<std::size_t>(length));
            ASSERT_EQ(Checksum16(buffer.data() + at, length, way), ByteAtATime(buffer.data() + at, length))
                << "length " << length << " at " << at;
        }
    }
}
