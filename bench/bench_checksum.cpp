// Checksum16 runs over every decoded byte of every file: bytes per second over a block-sized and
// a large buffer of pseudo-random bytes.
#include "decode/Checksum16.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

static void BM_Checksum16(benchmark::State& state) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(state.range(0)));
    std::mt19937 random(7);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    for (auto _ : state) {
        benchmark::DoNotOptimize(Checksum16(data.data(), static_cast<std::int32_t>(data.size())));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Checksum16)->Arg(8192)->Arg(1 << 20);

BENCHMARK_MAIN();
