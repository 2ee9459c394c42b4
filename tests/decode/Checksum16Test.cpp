#include "decode/Checksum16.h"

#include <gtest/gtest.h>

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
