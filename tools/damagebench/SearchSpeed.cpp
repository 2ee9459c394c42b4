#include "tools/damagebench/SearchSpeed.h"

#include "convert/BlockScanner.h"
#include "convert/ConvertFile.h"
#include "stream/ErrorCode.h"
#include "stream/FileSpec.h"
#include "stream/LFileCachedStream.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace damagebench {
namespace {

// The median of five timed passes, each over a freshly opened stream.
double Seconds(const std::string& path, const std::function<void(LStream&)>& pass) {
    double times[5];
    for (double& t : times) {
        LFileCachedStream input(MakeFileSpec(path), 0x40000);
        input.OpenDataFork(0);
        const auto start = std::chrono::steady_clock::now();
        pass(input);
        t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::sort(std::begin(times), std::end(times));
    return times[2];
}

} // namespace

int PrintSearchSpeeds(const std::string& path) {
    std::int64_t length = 0;
    {
        LFileCachedStream input(MakeFileSpec(path), 0x40000);
        input.OpenDataFork(0);
        length = input.GetLength();
    }
    long finds = 0;
    const double first = Seconds(path, [](LStream& input) {
        try {
            FindFirstEntry(input);
        } catch (ErrorCode) {
        }
    });
    const double every = Seconds(path, [&](LStream& input) {
        finds = 0;
        for (std::int64_t at = 0;;) {
            const SignatureFind find = FindSignature(input, at);
            if (find.kind == SignatureFind::Kind::kNone) break;
            ++finds;
            at = find.position + 1;
        }
    });
    std::printf("%s: %lld bytes, medians of 5\n", path.c_str(), static_cast<long long>(length));
    std::printf("  search for the first entry   %7.3f s  %6.2f GB/s\n", first, static_cast<double>(length) / first / 1e9);
    std::printf("  search for every signature   %7.3f s  %6.2f GB/s  (%ld found)\n", every,
                static_cast<double>(length) / every / 1e9, finds);
    return 0;
}

} // namespace damagebench
