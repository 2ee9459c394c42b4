// DecodeBlock on realistic encoded audio: ten seconds of stereo music-like signal, encoded block
// by block with the encoder's best mode, then decoded over and over. Reports samples per second.
// A second case decodes each forced mode on the same audio, a third the best modes the plain way
// (one sample at a time), which processors without 512-bit vectors take, a fourth the best modes
// in blocks of 1,024 to 8,192 frames: archives come in every one of them. The last decodes those
// blocks two at a time and checks each, as the converter does with the two channels of stereo
// frames: what a pair costs by the size of its blocks, with nothing of the queue around it.
#include "decode/Checksum16.h"
#include "decode/DecodeBlock.h"
#include "platform/runtime/ByteOrder.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

namespace {

struct EncodedBlock {
    std::array<std::uint8_t, 22> header;
    std::vector<std::uint8_t> packed;   // P bytes and the one spare byte the decoder may read
};

std::vector<EncodedBlock> EncodeMusic(std::optional<int> mode, std::uint32_t blockFrames = 4096) {
    kobenc::Recording recording;
    recording.channelCount = 2;
    recording.samples = kobenc::SyntheticMusic(441000, 2, 44100);
    kobenc::EncodeOptions options;
    options.block.forcedMode = mode;
    options.blockFrames = blockFrames;
    const kobenc::EntryModel entry = kobenc::EncodeEntry(recording, options);
    std::vector<EncodedBlock> blocks;
    for (const kobenc::BlockModel& block : entry.blocks) {
        EncodedBlock encoded{kobenc::BlockHeaderBytes(block), block.packed};
        encoded.packed.push_back(0);
        blocks.push_back(std::move(encoded));
    }
    return blocks;
}

std::int32_t UnpackedLength(const EncodedBlock& block) { return byteorder::BE16(block.header.data() + 18); }
std::uint16_t DataChecksum(const EncodedBlock& block) { return byteorder::BE16(block.header.data() + 20); }

void Decode(benchmark::State& state, std::optional<int> mode, DecodeWay way = DecodeWay::kFastest,
            std::uint32_t blockFrames = 4096) {
    const std::vector<EncodedBlock> blocks = EncodeMusic(mode, blockFrames);
    std::vector<std::uint8_t> output(16384);
    std::int64_t samples = 0;
    for (auto _ : state) {
        for (const EncodedBlock& block : blocks) {
            DecodeBlock(block.packed.data(), output.data(), block.header.data(), way);
            benchmark::DoNotOptimize(output.data());
            samples += UnpackedLength(block) / 2;
        }
    }
    state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

void DecodePairs(benchmark::State& state, std::uint32_t blockFrames) {
    const std::vector<EncodedBlock> blocks = EncodeMusic(std::nullopt, blockFrames);
    std::vector<std::uint8_t> first(16384);
    std::vector<std::uint8_t> second(16384);
    std::int64_t samples = 0;
    std::int64_t wrong = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i + 1 < blocks.size(); i += 2) {
            const EncodedBlock& a = blocks[i];
            const EncodedBlock& b = blocks[i + 1];
            DecodeTwoBlocks({a.packed.data(), first.data(), a.header.data()}, {b.packed.data(), second.data(), b.header.data()});
            wrong += Checksum16(first.data(), UnpackedLength(a)) != DataChecksum(a);
            wrong += Checksum16(second.data(), UnpackedLength(b)) != DataChecksum(b);
            samples += (UnpackedLength(a) + UnpackedLength(b)) / 2;
        }
    }
    // Every block of the encoder's decodes to its checksum: anything else is a broken decoder.
    if (wrong != 0) state.SkipWithError("a pair decoded to the wrong samples");
    state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

void BM_DecodeMusicBestMode(benchmark::State& state) { Decode(state, std::nullopt); }
void BM_DecodeMusicMode(benchmark::State& state) { Decode(state, static_cast<int>(state.range(0))); }
void BM_DecodeMusicPlainWay(benchmark::State& state) { Decode(state, std::nullopt, DecodeWay::kPlain); }
void BM_DecodeMusicBlockFrames(benchmark::State& state) {
    Decode(state, std::nullopt, DecodeWay::kFastest, static_cast<std::uint32_t>(state.range(0)));
}
void BM_DecodeMusicPairsBlockFrames(benchmark::State& state) { DecodePairs(state, static_cast<std::uint32_t>(state.range(0))); }

} // namespace

BENCHMARK(BM_DecodeMusicBestMode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMusicMode)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMusicPlainWay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMusicBlockFrames)->RangeMultiplier(2)->Range(1024, 8192)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMusicPairsBlockFrames)->RangeMultiplier(2)->Range(1024, 8192)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
