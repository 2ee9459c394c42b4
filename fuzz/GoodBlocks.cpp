#include "fuzz/GoodBlocks.h"

#include "convert/KobFormat.h"
#include "decode/Checksum16.h"
#include "decode/DecodeBlock.h"
#include "fuzz/OutputChecks.h"
#include "platform/runtime/ByteOrder.h"

#include <algorithm>
#include <cstring>

GoodBlocks::GoodBlocks(const std::vector<std::uint8_t>& file) {
    // Kept from one file to the next; only the bytes of the block at hand are set each time.
    static std::vector<std::uint8_t> packed(kBlockLimit + 1), samples(kBlockLimit);
    for (std::size_t at = 0; at + KOBBlockHeader::kSize <= file.size(); ++at) {
        if (byteorder::BE32(file.data() + at) != kBlockMagic) continue;   // not even a damaged block
        KOBBlockHeader header;
        std::memcpy(header.mBytes, file.data() + at, KOBBlockHeader::kSize);
        if (BlockHeaderStatus(header) != kBlockGood || !DecodesMode(header.mode())) continue;
        const std::size_t p = header.packedLength(), n = header.unpackedLength();
        if (p > kBlockLimit || n > kBlockLimit || at + KOBBlockHeader::kSize + p > file.size()) continue;
        // The decoder reads the p bytes and the zero behind them, and writes n bytes at most.
        std::copy_n(file.data() + at + KOBBlockHeader::kSize, p, packed.begin());
        packed[p] = 0;
        std::fill_n(samples.begin(), n, 0);
        DecodeBlock(p ? packed.data() : nullptr, samples.data(), header.mBytes);
        if (Checksum16(samples.data(), static_cast<std::int32_t>(n)) != header.dataChecksum()) continue;
        Block block{header.startFrame(), {}};
        for (std::size_t i = 0; i + 1 < n; i += 2)
            block.samples.push_back(static_cast<std::int16_t>(byteorder::BE16(samples.data() + i)));
        mFurthest = std::max<std::uint64_t>(mFurthest, std::uint64_t{block.startFrame} + n / 2);
        mHighest = std::max<std::uint32_t>(mHighest, header.channel());
        mByChannel[header.channel()].push_back(std::move(block));
    }
}

bool GoodBlocks::Holds(std::uint32_t channel, std::uint32_t frame, std::int16_t value) const {
    const auto blocks = mByChannel.find(channel);
    if (blocks == mByChannel.end()) return false;
    for (const Block& block : blocks->second)
        if (frame >= block.startFrame && frame - block.startFrame < block.samples.size() &&
            block.samples[frame - block.startFrame] == value)
            return true;
    return false;
}

void fuzzcheck::CheckWaveFromGoodBlocks(const std::string& path, const GoodBlocks& good) {
    // A megabyte at a time, and its holes not at all: the file may hold gigabytes of silence.
    std::uint8_t head[44];
    std::size_t headBytes = 0;
    std::uint32_t channels = 0;
    fuzzcheck::ReadData(path, [&](std::uint64_t offset, const char* chunk, std::size_t count) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(chunk);
        std::size_t at = 0;
        while (offset + at < 44 && at < count) {
            if (offset + at == headBytes) head[headBytes++] = bytes[at];
            ++at;
        }
        if (headBytes < 44) return;   // CheckWave judges the form
        if (channels == 0) channels = byteorder::LE16(head + 22);
        if (channels == 0) return;
        // Pieces come at even offsets (data and holes start at whole pages), as samples do.
        static constexpr std::uint8_t kZeros[64] = {};
        while (at + 2 <= count) {
            // Silence, which every check passes, is skipped 32 samples at a time.
            if (at + 64 <= count && std::memcmp(bytes + at, kZeros, 64) == 0) {
                at += 64;
                continue;
            }
            const auto value = static_cast<std::int16_t>(byteorder::LE16(bytes + at));
            const std::uint64_t i = (offset + at - 44) / 2;
            at += 2;
            if (value == 0) continue;
            const auto frame = static_cast<std::uint32_t>(i / channels);
            const auto channel = static_cast<std::uint32_t>(i % channels + 1);
            if (!good.Holds(channel, frame, value))
                Fail("a sample no good block holds (frame " + std::to_string(frame) + ", channel " + std::to_string(channel) + ")", path);
        }
    });
}
