// The WAVE writer under the converter's order of runs: channel 1 of a block's frames, then the
// other channels of the same frames, 8,192 frames a block. Reports bytes of WAVE per second.
#include "stream/FileSpec.h"
#include "stream/LWaveFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void BM_WriteBlocks(benchmark::State& state) {
    const auto channels = static_cast<std::uint16_t>(state.range(0));
    const std::int32_t frames = 44100 * 20;
    constexpr std::int32_t kBlock = 8192;
    std::vector<std::uint8_t> samples(2 * kBlock, 0x5A);
    char name[] = "/tmp/dudez-bench-wave-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    for (auto _ : state) {
        std::remove(name);
        LWaveFile wave(MakeFileSpec(name));
        wave.CreateAudioFile(0, wave.GetFileType());
        wave.SetFormat(frames, channels, 2, 44100);
        for (std::int32_t first = 0; first < frames; first += kBlock)
            for (std::uint16_t c = 1; c <= channels; ++c) wave.WriteSamples(first, kBlock, c, samples.data());
        wave.WriteHeldFrames();
    }
    std::remove(name);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * frames * channels * 2);
}
BENCHMARK(BM_WriteBlocks)->Arg(2)->Arg(6)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
