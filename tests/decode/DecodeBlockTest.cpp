#include "decode/DecodeBlock.h"
#include "decode/WideTarget.h"

#include "GuardedBuffer.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kUntouched = 0xCD;

Bytes BlockHeader(std::uint8_t mode, std::size_t packedLength, std::size_t unpackedLength) {
    Bytes header(22, 0);
    header[5] = mode;
    header[16] = static_cast<std::uint8_t>(packedLength >> 8);
    header[17] = static_cast<std::uint8_t>(packedLength);
    header[18] = static_cast<std::uint8_t>(unpackedLength >> 8);
    header[19] = static_cast<std::uint8_t>(unpackedLength);
    return header;
}

// Decodes packed (P = its size) with `after` as the byte behind it. The packed bytes and the
// output each end at a guard page: the decoder may read P + 1 bytes and write N, nothing more.
// The output starts filled with kUntouched and is returned whole.
Bytes Decode(std::uint8_t mode, const Bytes& packed, std::uint8_t after, std::size_t n,
             DecodeWay way = DecodeWay::kFastest) {
    Bytes window = packed;
    window.push_back(after);
    GuardedBuffer input(packed.empty() ? Bytes{} : window);
    GuardedBuffer output(Bytes(n, kUntouched));
    const Bytes header = BlockHeader(mode, packed.size(), n);
    DecodeBlock(packed.empty() ? nullptr : input.data(), output.data(), header.data(), way);
    return output.Bytes();
}

// A block as Decode takes it.
struct Block {
    std::uint8_t mode;
    Bytes packed;
    std::uint8_t after;
    std::size_t n;
};

// Decodes two blocks at once, each as Decode has it but read in place when asked (the packed
// bytes alone then end at the guard page, and decode as if `after` were 0); both outputs.
std::pair<Bytes, Bytes> DecodeTwo(const Block& first, const Block& second, bool inPlace) {
    const auto window = [&](const Block& block) {
        Bytes bytes = block.packed;
        if (!inPlace && !bytes.empty()) bytes.push_back(block.after);
        return bytes;
    };
    const GuardedBuffer firstInput(window(first));
    const GuardedBuffer secondInput(window(second));
    const GuardedBuffer firstOutput(Bytes(first.n, kUntouched));
    const GuardedBuffer secondOutput(Bytes(second.n, kUntouched));
    const Bytes firstHeader = BlockHeader(first.mode, first.packed.size(), first.n);
    const Bytes secondHeader = BlockHeader(second.mode, second.packed.size(), second.n);
    DecodeTwoBlocks(PackedBlock{first.packed.empty() ? nullptr : firstInput.data(), firstOutput.data(), firstHeader.data(), inPlace},
                    PackedBlock{second.packed.empty() ? nullptr : secondInput.data(), secondOutput.data(), secondHeader.data(), inPlace});
    return {firstOutput.Bytes(), secondOutput.Bytes()};
}

// Every test decodes each way of taking the residuals.
constexpr DecodeWay kWays[] = {DecodeWay::kFastest, DecodeWay::kPlain};

struct Row {
    std::uint8_t mode;
    Bytes packed;
    std::uint8_t after; // the byte behind the packed data
    std::size_t n;
    Bytes written; // output bytes 0 to 2 * (n / 2) - 1, or empty when nothing is written
};

} // namespace

TEST(DecodeBlock, RebuildsSamplesOfEveryMode) {
    const std::vector<Row> rows = {
        {2, {0xE1, 0x12, 0x34, 0xFF, 0xFE}, 0, 4, {0x12, 0x34, 0xFF, 0xFE}},
        {3, {0x23, 0x5F, 0xE3}, 0, 8, {0, 5, 0, 4, 0, 2, 0, 5}},
        {4, {0x12, 0x27, 0x80}, 0, 6, {0, 1, 0, 3, 0, 4}},
        {1, {0x12, 0x27, 0x80}, 0, 6, {0, 1, 0, 3, 0, 4}},
        {4, {0x23, 0x10, 0x00}, 0, 8, {0, 1, 0, 2, 0, 3, 0, 4}},
        // Minus x3: with plus x3 the last two samples would be 10 and 15.
        {5, {0x24, 0x10, 0x00, 0x00}, 0, 10, {0, 1, 0, 3, 0, 6, 0, 8, 0, 3}},
        {3, {0xE1, 0x7F, 0xFF, 0x00, 0x01}, 0, 4, {0x7F, 0xFF, 0x80, 0x00}},
        {3, {0xE1, 0x80, 0x00, 0xFF, 0xFF}, 0, 4, {0x80, 0x00, 0x7F, 0xFF}},
        {3, {0x20, 0x30, 0x17}, 0, 6, {0, 3, 0, 4, 0, 3}},
        // 17-bit residuals outside the 16-bit range wrap: 65535 and 0 - 65535.
        {2, {0xF0, 0x7F, 0xFF, 0x80}, 0, 2, {0xFF, 0xFF}},
        {3, {0xF0, 0x80, 0x00, 0x80}, 0, 2, {0x00, 0x01}},
        // The group's second residual is read and dropped.
        {2, {0x23, 0x37, 0x00}, 0, 2, {0, 3}},
        // Both residuals come from the byte behind the packed data.
        {2, {0x21}, 0xA5, 4, {0xFF, 0xFA, 0x00, 0x05}},
        {2, {0x21}, 0x00, 4, {0, 0, 0, 0}},
        // Packed data runs out: zero group headers and residuals continue the prediction.
        {3, {0x20, 0x50}, 0, 8, {0, 5, 0, 5, 0, 5, 0, 5}},
        // No packed data: every bit reads as zero.
        {1, {}, 0, 6, {0, 0, 0, 0, 0, 0}},
        {5, {}, 0, 4, {0, 0, 0, 0}},
        // An odd N leaves its last byte alone; N = 0 writes nothing.
        {2, {0xE1, 0x12, 0x34, 0xFF, 0xFE}, 0, 5, {0x12, 0x34, 0xFF, 0xFE}},
        {2, {0xE1, 0x12, 0x34, 0xFF, 0xFE}, 0, 0, {}},
        // Unknown modes decode nothing.
        {0, {0xE1, 0x12, 0x34, 0xFF, 0xFE}, 0, 4, {}},
        {6, {0xE1, 0x12, 0x34, 0xFF, 0xFE}, 0, 4, {}},
        {255, {0xE1, 0x12, 0x34, 0xFF, 0xFE}, 0, 4, {}},
    };
    // The rows run one after the other in one process, so history left over from one block
    // would show in the next.
    for (const DecodeWay way : kWays) {
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Row& row = rows[r];
            Bytes expected = row.written;
            expected.resize(row.n, kUntouched);
            EXPECT_EQ(Decode(row.mode, row.packed, row.after, row.n, way), expected)
                << "row " << r << (way == DecodeWay::kPlain ? ", plain" : ", fastest");
        }
    }
}

// Arbitrary bytes make groups of every width and count that end anywhere, and windows of every
// length, so fields are cut across the window's end at every bit. Both ways give the same samples.
TEST(DecodeBlock, BothWaysAgreeOnArbitraryBytes) {
    if (!HasWideInstructions()) GTEST_SKIP() << "this processor decodes one way only";
    std::mt19937 random(99);
    Block before{1, {}, 0, 0};
    for (std::size_t length = 0; length < 160; ++length) {
        for (std::uint8_t mode = 1; mode <= 6; ++mode) {
            Bytes packed(length);
            for (std::uint8_t& byte : packed) byte = static_cast<std::uint8_t>(random());
            const auto after = static_cast<std::uint8_t>(random());
            const std::size_t n = random() % 700;
            const Bytes plain = Decode(mode, packed, after, n, DecodeWay::kPlain);
            EXPECT_EQ(Decode(mode, packed, after, n, DecodeWay::kFastest), plain)
                << "length " << length << ", mode " << int{mode} << ", N " << n;
            // Decoded together with the block before, of another mode, length and window.
            const Block block{mode, packed, after, n};
            const bool inPlace = length % 2 == 1;
            const auto [first, second] = DecodeTwo(before, block, inPlace);
            EXPECT_EQ(first, Decode(before.mode, before.packed, inPlace ? 0 : before.after, before.n, DecodeWay::kPlain))
                << "first of two, length " << before.packed.size() << ", mode " << int{before.mode};
            EXPECT_EQ(second, inPlace ? Decode(mode, packed, 0, n, DecodeWay::kPlain) : plain)
                << "second of two, length " << length << ", mode " << int{mode} << ", N " << n;
            before = block;
        }
    }
}

namespace {

// Writes bit fields most significant bit first, as the block format stores them.
class BitWriter {
public:
    void Put(std::uint32_t value, int width) {
        for (int bit = width - 1; bit >= 0; --bit) {
            if (mBits % 8 == 0)
                mBytes.push_back(0);
            if ((value >> bit) & 1u)
                mBytes.back() = static_cast<std::uint8_t>(mBytes.back() | (0x80u >> (mBits % 8)));
            ++mBits;
        }
    }
    const Bytes& bytes() const { return mBytes; }

private:
    Bytes mBytes;
    std::size_t mBits = 0;
};

// Packs samples for the given mode with groups of random length and width. The last group
// declares a few more residuals than there are samples and holds one of them.
Bytes Pack(std::uint8_t mode, const std::vector<std::int16_t>& samples, std::mt19937& random) {
    BitWriter writer;
    std::int64_t x1 = 0, x2 = 0, x3 = 0;
    std::vector<std::int32_t> residuals;
    for (std::int16_t x : samples) {
        std::int64_t prediction = 0;
        if (mode == 3)
            prediction = x1;
        else if (mode == 1 || mode == 4)
            prediction = 2 * x1 - x2;
        else if (mode == 5)
            prediction = 3 * (x1 - x2) - x3;
        residuals.push_back(static_cast<std::int16_t>(x - prediction));
        x3 = x2;
        x2 = x1;
        x1 = x;
    }
    for (std::size_t i = 0; i < residuals.size();) {
        const std::size_t count = std::min<std::size_t>(1 + random() % 16, residuals.size() - i);
        const bool last = i + count == residuals.size();
        const std::size_t declared = last ? std::min<std::size_t>(count + 1 + random() % 3, 16) : count;
        int width = 2;
        for (std::size_t k = i; k < i + count; ++k)
            while (residuals[k] < -(1 << (width - 1)) || residuals[k] >= (1 << (width - 1)))
                ++width;
        width += static_cast<int>(random() % 2) * (17 - width); // sometimes wider than needed
        writer.Put(static_cast<std::uint32_t>(width - 2), 4);
        writer.Put(static_cast<std::uint32_t>(declared - 1), 4);
        for (std::size_t k = i; k < i + count; ++k)
            writer.Put(static_cast<std::uint32_t>(residuals[k]), width);
        if (declared > count)
            writer.Put(0x1555, width);
        i += count;
    }
    return writer.bytes();
}

} // namespace

TEST(DecodeBlock, RestoresPackedSamplesOfLargestBlocks) {
    std::mt19937 random(20240611);
    std::optional<std::pair<Block, Bytes>> before;   // the last block and its samples
    for (std::uint8_t mode = 1; mode <= 5; ++mode) {
        for (std::size_t n : {std::size_t{16384}, std::size_t{2}, std::size_t{37}}) {
            // Quiet stretches give narrow groups, full-range noise makes the predictions wrap.
            std::vector<std::int16_t> samples(n / 2);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<std::int16_t>(i % 512 < 256 ? random() % 9 - 4 : random());
            const Bytes packed = Pack(mode, samples, random);
            Bytes expected;
            for (std::int16_t x : samples) {
                expected.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(x) >> 8));
                expected.push_back(static_cast<std::uint8_t>(x));
            }
            expected.resize(n, kUntouched);
            for (const DecodeWay way : kWays)
                EXPECT_EQ(Decode(mode, packed, 0xFF, n, way), expected) << "mode " << int{mode} << ", N " << n;
            // Two blocks at once, of other modes and lengths: one goes on alone, over several
            // stretches, when the other has ended.
            if (before) {
                const auto [first, second] = DecodeTwo(before->first, Block{mode, packed, 0xFF, n}, n == 2);
                EXPECT_EQ(first, before->second) << "first of two, mode " << int{before->first.mode};
                EXPECT_EQ(second, expected) << "second of two, mode " << int{mode} << ", N " << n;
            }
            before.emplace(Block{mode, packed, 0xFF, n}, expected);
        }
    }
}

// A tight stack limit (ulimit -s) gives every thread a small stack. The longest block a header can
// declare must still decode on one of 64 KiB, with every mode.
TEST(DecodeBlock, TheLongestBlockDecodesOnASmallStack) {
    struct Job {
        std::uint8_t mode;
        Bytes packed;
        Bytes got;
    };
    std::mt19937 random(7);
    for (std::uint8_t mode = 1; mode <= 5; ++mode) {
        std::vector<std::int16_t> samples(65534 / 2);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(random() % 41 - 20);
        Job job{mode, Pack(mode, samples, random), {}};
        ASSERT_LT(job.packed.size(), 65536u) << "P must fit its 16 bits";
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        ASSERT_EQ(pthread_attr_setstacksize(&attributes, 64 * 1024), 0);
        pthread_t thread;
        ASSERT_EQ(pthread_create(&thread, &attributes, [](void* argument) -> void* {
            auto* work = static_cast<Job*>(argument);
            work->got = Decode(work->mode, work->packed, 0, 65534);
            return nullptr;
        }, &job), 0);
        pthread_join(thread, nullptr);
        pthread_attr_destroy(&attributes);
        Bytes expected;
        for (std::int16_t x : samples) {
            expected.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(x) >> 8));
            expected.push_back(static_cast<std::uint8_t>(x));
        }
        EXPECT_EQ(job.got, expected) << "mode " << int{mode};
    }
}
