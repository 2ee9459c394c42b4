// The decoder's word-at-a-time reader must deliver exactly the bits of the byte-at-a-time
// BitReader, zeros past the end included, and never touch a byte outside its range.
#include "decode/WordBitReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "decode/BitReader.h"
#include "tests/decode/GuardedBuffer.h"

TEST(WordBitReader, DeliversTheBitsOfTheByteReaderThenZeros) {
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        // Ranges of every short length, with the guard page right behind the last byte.
        std::vector<std::uint8_t> bytes(random() % 40);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        const GuardedBuffer range(bytes);
        const auto length = static_cast<std::int32_t>(bytes.size());

        BitReader plain;
        plain.Init(length ? range.data() : nullptr, length);
        WordBitReader word(length ? range.data() : nullptr, length);
        // Past the end, far enough for several reads of zeros.
        for (int read = 0, bits = 0; bits < 8 * length + 70; ++read) {
            const int n = 1 + static_cast<int>(random() % 32);
            bits += n;
            if (random() % 2) {
                ASSERT_EQ(word.GetBits(n), plain.GetBits(n)) << "round " << round << " read " << read;
            } else {
                ASSERT_EQ(word.GetSignedBits(n), plain.GetSignedBits(n)) << "round " << round << " read " << read;
            }
        }
    }
}
