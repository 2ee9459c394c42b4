// The read-ahead queue on its own: blocks made by the encoder go in, and each must come out
// decoded, in the order it went in, whoever decoded it. Thousands of blocks pass through with the
// converter's side now faster and now slower than the helper, so that the helper is at times
// ahead, at times on the very block the converter waits for.
#include "convert/BlockQueue.h"
#include "decode/Checksum16.h"
#include "tools/kobenc/BlockEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Expected {
    kobenc::BlockModel block;
    bool damaged;
};

// Blocks of every mode and length, one in five with a wrong data checksum.
std::vector<Expected> MakeBlocks(std::uint32_t seed) {
    const std::vector<std::int16_t> music = kobenc::SyntheticMusic(120000, 1, 44100, seed);
    std::vector<Expected> blocks;
    std::size_t at = 0;
    for (int i = 0; at < music.size(); ++i) {
        const std::size_t length = std::min<std::size_t>(music.size() - at, 1 + (i * 1237) % 8192);
        kobenc::BlockOptions options;
        options.forcedMode = 1 + i % 5;
        const std::vector<std::int16_t> samples(music.begin() + static_cast<std::ptrdiff_t>(at),
                                                music.begin() + static_cast<std::ptrdiff_t>(at + length));
        kobenc::BlockModel block = kobenc::EncodeBlock(1, static_cast<std::uint32_t>(at), samples, options);
        const bool damaged = i % 5 == 3;
        if (damaged) block.dataChecksum ^= 0x0101;
        blocks.push_back({block, damaged});
        at += length;
    }
    return blocks;
}

void Fill(QueuedBlock& slot, const kobenc::BlockModel& block) {
    const auto header = kobenc::BlockHeaderBytes(block);
    std::memcpy(slot.header.mBytes, header.data(), header.size());
    std::memcpy(slot.packed, block.packed.data(), block.packed.size());
    slot.headerGood = BlockHeaderStatus(slot.header) == kBlockGood;
    slot.status = slot.headerGood ? 0 : 1;
    slot.shortData = false;
}

// Passes the blocks through `queue` `rounds` times; `pause` slows the converter's side now and
// then. Returns how many blocks came out wrong.
int PassThrough(BlockQueue& queue, const std::vector<Expected>& blocks, int rounds, bool pause) {
    int wrong = 0;
    std::size_t in = 0;
    std::size_t out = 0;
    const std::size_t total = blocks.size() * static_cast<std::size_t>(rounds);
    while (out < total) {
        while (in < total) {
            QueuedBlock* slot = queue.Vacant();
            if (!slot) break;
            Fill(*slot, blocks[in % blocks.size()].block);
            queue.Publish();
            ++in;
        }
        const Expected& expected = blocks[out % blocks.size()];
        QueuedBlock& got = queue.Oldest();
        const std::size_t count = expected.block.samples.size();
        bool right = got.damaged == expected.damaged;
        for (std::size_t i = 0; right && i < count; ++i) {
            const auto sample = static_cast<std::int16_t>((got.samples[2 * i] << 8) | got.samples[2 * i + 1]);
            right = sample == (expected.damaged ? 0 : expected.block.samples[i]);
        }
        wrong += right ? 0 : 1;
        if (pause && out % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
        queue.Release();
        ++out;
    }
    EXPECT_TRUE(queue.Empty());
    return wrong;
}

TEST(BlockQueue, EveryBlockComesOutDecodedInItsOrderWhoeverDecodedIt) {
    const std::vector<Expected> blocks = MakeBlocks(3);
    ASSERT_GT(blocks.size(), 20u);
    for (const bool pause : {false, true}) {
        BlockQueue queue;
        EXPECT_EQ(PassThrough(queue, blocks, pause ? 5 : 40, pause), 0) << (pause ? "slow" : "fast");
    }
}

// Two converters at once (the program has one, its tests may have more): the helper serves one
// of them, the other decodes alone, and both get every block right.
TEST(BlockQueue, TwoQueuesAtOnceBothComeOutRight) {
    const std::vector<Expected> blocks = MakeBlocks(4);
    int wrong[2] = {-1, -1};
    std::thread other([&] {
        BlockQueue queue;
        wrong[1] = PassThrough(queue, blocks, 20, false);
    });
    {
        BlockQueue queue;
        wrong[0] = PassThrough(queue, blocks, 20, false);
    }
    other.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

// A block whose reading failed is never decoded: its samples are not touched, whoever comes
// first, and it comes out in its turn behind the blocks read before it.
TEST(BlockQueue, AFailedReadComesOutInItsTurnUndecoded) {
    const std::vector<Expected> blocks = MakeBlocks(5);
    BlockQueue queue;
    for (int i = 0; i < 3; ++i) {
        Fill(*queue.Vacant(), blocks[static_cast<std::size_t>(i)].block);
        queue.Publish();
    }
    QueuedBlock* failed = queue.Vacant();
    Fill(*failed, blocks[0].block);
    std::memset(failed->samples, 0xA5, kBlockLimit);
    failed->failure = std::make_exception_ptr(std::int32_t{2});
    queue.Publish();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(queue.Oldest().failure) << i;
        queue.Release();
    }
    QueuedBlock& last = queue.Oldest();
    EXPECT_TRUE(last.failure);
    EXPECT_EQ(last.samples[0], 0xA5);
    queue.Release();
    EXPECT_TRUE(queue.Empty());
}

} // namespace

// One block at a time, each asked for once the helper has taken it: the converter finds the helper
// decoding the very block it needs and must sleep until it is done. It must be woken every time.
TEST(BlockQueue, AConverterWaitingForTheHelperIsWokenEveryTime) {
    const std::vector<Expected> blocks = MakeBlocks(8);
    BlockQueue queue;
    int takenByHelper = 0;
    for (int round = 0; round < 10; ++round) {
        for (const Expected& expected : blocks) {
            QueuedBlock* slot = queue.Vacant();
            Fill(*slot, expected.block);
            queue.Publish();
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
            while (slot->state.load() == QueuedBlock::State::kWaiting && std::chrono::steady_clock::now() < until) {
            }
            if (slot->state.load() != QueuedBlock::State::kWaiting) ++takenByHelper;
            EXPECT_EQ(queue.Oldest().damaged, expected.damaged);
            queue.Release();
        }
    }
    // With one core there is no helper, and the converter decodes every block itself.
    if (std::thread::hardware_concurrency() > 1) {
        EXPECT_GT(takenByHelper, 0);
    }
}

// A conversion that fails gives its queue up with blocks still waiting, at times while the helper
// decodes one of them: the helper must be out of the queue before its memory goes, and must go on
// serving the next queue.
TEST(BlockQueue, AQueueGivenUpWithBlocksWaitingIsLeftBeforeItGoes) {
    const std::vector<Expected> blocks = MakeBlocks(7);
    for (int round = 0; round < 300; ++round) {
        auto queue = std::make_unique<BlockQueue>();
        // As many as it takes.
        for (std::size_t i = 0; QueuedBlock* slot = queue->Vacant(); ++i) {
            Fill(*slot, blocks[i % blocks.size()].block);
            queue->Publish();
        }
        if (round % 3 != 0) std::this_thread::sleep_for(std::chrono::microseconds(round % 40));
        queue.reset();
    }
    BlockQueue queue;
    EXPECT_EQ(PassThrough(queue, blocks, 2, false), 0);
}

// A block of an odd byte count: its last byte belongs to no sample and must come out 0, whatever
// the place held before, so its data checksum (over that byte too) still matches.
TEST(BlockQueue, AnOddLastByteIsClearedWhateverThePlaceHeld) {
    const std::vector<Expected> blocks = MakeBlocks(6);
    kobenc::BlockModel block = blocks[0].block;
    Bytes expected;
    for (const std::int16_t sample : block.samples) {
        expected.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8));
        expected.push_back(static_cast<std::uint8_t>(sample));
    }
    expected.push_back(0);
    block.unpackedLength = static_cast<std::uint16_t>(expected.size());
    block.dataChecksum = Checksum16(expected.data(), static_cast<std::int32_t>(expected.size()));
    BlockQueue queue;
    QueuedBlock* slot = queue.Vacant();
    Fill(*slot, block);
    std::memset(slot->samples, 0xA5, kBlockLimit);
    queue.Publish();
    QueuedBlock& got = queue.Oldest();
    EXPECT_FALSE(got.damaged);
    EXPECT_EQ(Bytes(got.samples, got.samples + expected.size()), expected);
    queue.Release();
}
