// The cached input stream under the converter's access patterns: the search for the first entry
// over a file without one, and sequential block reads (22-byte headers followed by packed data).
#include "convert/ConvertFile.h"
#include "stream/ErrorCode.h"
#include "stream/FileSpec.h"
#include "stream/LFileCachedStream.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A file of pseudo-random bytes in the temporary folder, removed at exit.
const std::string& TestFile() {
    static const std::string path = [] {
        char name[] = "/tmp/dudez-bench-XXXXXX";
        const int fd = mkstemp(name);
        std::vector<unsigned char> data(8 << 20);
        std::mt19937 random(3);
        for (auto& b : data) b = static_cast<unsigned char>(random());
        if (fd < 0 || write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::abort();
        close(fd);
        std::atexit([] { std::remove(TestFile().c_str()); });
        return std::string(name);
    }();
    return path;
}

void BM_SignatureSearch(benchmark::State& state) {
    for (auto _ : state) {
        LFileCachedStream input(MakeFileSpec(TestFile()), 0x40000);
        input.OpenDataFork(0);
        try {
            FindFirstEntry(input);
            std::abort();   // the file has no entry
        } catch (ErrorCode) {
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (8 << 20));
}
BENCHMARK(BM_SignatureSearch)->Unit(benchmark::kMillisecond);

void BM_SequentialBlocks(benchmark::State& state) {
    const std::int32_t packed = static_cast<std::int32_t>(state.range(0));
    std::vector<unsigned char> buffer(static_cast<std::size_t>(packed) + 22);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        LFileCachedStream input(MakeFileSpec(TestFile()), 0x40000);
        input.OpenDataFork(0);
        LStream& stream = input;
        for (;;) {
            std::int32_t count = 22;
            if (stream.GetBytes(buffer.data(), count) != 0 || count < 22) break;
            count = packed;
            if (stream.GetBytes(buffer.data() + 22, count) != 0 || count < packed) break;
            bytes += 22 + packed;
        }
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_SequentialBlocks)->Arg(3000)->Arg(16384)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
