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
    // A chunk at a time: the file may hold gigabytes of silence.
    std::uint8_t head[44];
    std::size_t got = 0;       // bytes of the file seen so far
    std::uint32_t channels = 0;
    std::size_t sample = 0;    // the next sample's number
    std::uint8_t odd = 0;      // the first byte of a sample split across two chunks
    fuzzcheck::ReadChunks(path, [&](const char* chunk, std::size_t count) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(chunk);
        std::size_t at = 0;
        while (got < 44 && at < count) head[got++] = bytes[at++];
        if (got < 44) return;
        if (channels == 0) channels = byteorder::LE16(head + 22);
        if (channels == 0) return;   // CheckWave judges the form
        for (; at < count; ++at, ++got) {
            if ((got - 44) % 2 == 0) {
                // Silence, which every check passes, is skipped 32 samples at a time.
                static constexpr std::uint8_t kZeros[64] = {};
                while (at + 64 <= count && std::memcmp(bytes + at, kZeros, 64) == 0) {
                    at += 64;
                    got += 64;
                    sample += 32;
                }
                if (at == count) break;
                odd = bytes[at];
                continue;
            }
            const auto value = static_cast<std::int16_t>(odd | (bytes[at] << 8));
            const std::size_t i = sample++;
            if (value == 0) continue;
            const auto frame = static_cast<std::uint32_t>(i / channels);
            const auto channel = static_cast<std::uint32_t>(i % channels + 1);
            if (!good.Holds(channel, frame, value))
                Fail("a sample no good block holds (frame " + std::to_string(frame) + ", channel " + std::to_string(channel) + ")", path);
        }
    });
}
