// Fuzz target: arbitrary block headers and packed bytes through DecodeBlock.
//
// Input: 22 header bytes, then the packed bytes. P and N are taken from the header as they
// stand, and the packed bytes are cut or zero-padded to P, so any P and N up to 65535 are tried.
// The packed buffer is exactly P + 1 bytes and the output exactly N bytes, each placed once
// against a guard page behind it and once against one in front of it: a single byte read or
// written outside them faults at once. The samples must equal those of a plain reference
// decoder, and a mode outside 1..5 must leave the output untouched.
#include "decode/DecodeBlock.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A byte range with an inaccessible page right behind its last byte (back) or right in front of
// its first byte (front).
class GuardedBytes {
public:
    GuardedBytes(std::size_t size, bool guardInFront) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t dataPages = (size + page - 1) / page + 1;
        mLength = (dataPages + 1) * page;
        void* map = mmap(nullptr, mLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) std::abort();
        mMap = static_cast<std::uint8_t*>(map);
        if (guardInFront) {
            if (mprotect(mMap, page, PROT_NONE) != 0) std::abort();
            mData = mMap + page;
        } else {
            if (mprotect(mMap + dataPages * page, page, PROT_NONE) != 0) std::abort();
            mData = mMap + dataPages * page - size;
        }
    }
    ~GuardedBytes() { munmap(mMap, mLength); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    std::uint8_t* Data() const { return mData; }

private:
    std::uint8_t* mMap = nullptr;
    std::size_t mLength = 0;
    std::uint8_t* mData = nullptr;
};

// The decoder written out the plain way, one bit at a time: bits past the P + 1 bytes read as 0.
std::vector<std::uint8_t> ReferenceSamples(const std::uint8_t* packed, std::size_t packedBytes,
                                           int mode, std::size_t samples) {
    std::vector<std::uint8_t> out;
    std::size_t bit = 0;
    auto bits = [&](int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            const std::size_t byte = bit / 8;
            const std::uint32_t b = byte < packedBytes ? (packed[byte] >> (7 - bit % 8)) & 1u : 0u;
            v = (v << 1) | b;
        }
        return v;
    };
    std::int32_t x1 = 0, x2 = 0, x3 = 0;
    while (out.size() / 2 < samples) {
        const int width = static_cast<int>(bits(4)) + 2;
        const int count = static_cast<int>(bits(4)) + 1;
        for (int k = 0; k < count && out.size() / 2 < samples; ++k) {
            const std::uint32_t raw = bits(width);
            const std::int32_t v = (raw & (1u << (width - 1))) ? static_cast<std::int32_t>(raw) - (1 << width)
                                                                : static_cast<std::int32_t>(raw);
            std::int32_t x = 0;
            switch (mode) {
            case 1:
            case 4: x = 2 * x1 - x2 + v; break;
            case 2: x = v; break;
            case 3: x = x1 + v; break;
            default: x = 3 * (x1 - x2) - x3 + v; break;
            }
            const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(x & 0xFFFF));
            x3 = x2;
            x2 = x1;
            x1 = sample;
            out.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
            out.push_back(static_cast<std::uint8_t>(x & 0xFF));
        }
    }
    return out;
}

// What the output must hold after decoding: the reference samples over a fill of 0xA5, which
// the decoder must leave wherever it writes nothing.
std::vector<std::uint8_t> ExpectedOutput(const std::uint8_t* header, const std::vector<std::uint8_t>& packed,
                                         std::size_t unpacked) {
    const std::size_t packedLength = packed.size() - 1;
    std::vector<std::uint8_t> expected(unpacked, 0xA5);
    const int mode = header[5];
    if (mode >= 1 && mode <= 5) {
        const std::vector<std::uint8_t> reference =
            ReferenceSamples(packed.data(), packedLength ? packed.size() : 0, mode, unpacked / 2);
        std::copy(reference.begin(), reference.end(), expected.begin());
    }
    return expected;
}

void DecodeAndCheck(const std::uint8_t* header, const std::vector<std::uint8_t>& packed,
                    const std::vector<std::uint8_t>& expected, bool guardInFront) {
    const std::size_t packedLength = packed.size() - 1;
    const std::size_t unpacked = expected.size();
    GuardedBytes in(packed.size(), guardInFront);
    GuardedBytes out(unpacked, guardInFront);
    std::memcpy(in.Data(), packed.data(), packed.size());

    // Each way of decoding, the same output.
    for (const DecodeWay way : {DecodeWay::kFastest, DecodeWay::kPlain}) {
        std::memset(out.Data(), 0xA5, unpacked);
        DecodeBlock(packedLength ? in.Data() : nullptr, out.Data(), header, way);
        if (std::memcmp(in.Data(), packed.data(), packed.size()) != 0) std::abort(); // input is read-only
        if (unpacked && std::memcmp(out.Data(), expected.data(), unpacked) != 0) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 22) return 0;
    std::uint8_t header[22];
    std::memcpy(header, data, 22);
    const std::size_t packedLength = (std::size_t{header[16]} << 8) | header[17];
    const std::size_t unpacked = (std::size_t{header[18]} << 8) | header[19];

    // The P packed bytes and the one the decoder may read behind them, which the input gives
    // too when it is long enough (so that byte is fuzzed like the rest).
    std::vector<std::uint8_t> packed(packedLength + 1, 0);
    std::memcpy(packed.data(), data + 22, std::min(size - 22, packed.size()));

    const std::vector<std::uint8_t> expected = ExpectedOutput(header, packed, unpacked);
    DecodeAndCheck(header, packed, expected, false);
    DecodeAndCheck(header, packed, expected, true);
    return 0;
}
