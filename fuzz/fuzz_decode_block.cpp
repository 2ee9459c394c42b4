// Fuzz target: arbitrary block headers and packed bytes through DecodeBlock.
//
// Input: 22 header bytes, then the packed bytes. P and N are taken from the header as they
// stand, and the packed bytes are cut or zero-padded to P. Only P and N up to the block limit
// (16384) are tried: the converter rejects a file with a larger one before any decoding, so no
// larger block ever reaches the decoder, and such an input is refused (kept out of the corpus).
// The packed buffer is exactly P + 1 bytes and the output exactly N bytes, each placed once
// against a guard page behind it and once against one in front of it: a single byte read or
// written outside them faults at once. The samples must equal those of a plain reference
// decoder, and a mode outside 1..5 must leave the output untouched. Where the byte behind is 0,
// the P bytes alone, against the guard behind, must decode the same in place. Decoded together
// with a second block, each must come out as it does alone.
#include "convert/KobFormat.h"
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

// Room for up to `capacity` bytes between two inaccessible pages, mapped once for the process:
// a mapping per input would cost more than the decoding. Bytes are placed right behind the front
// guard or right in front of the back one. Everything between the guards is zero while no bytes
// are placed, as in a fresh mapping, so a stray read inside the room sees the same bytes whatever
// inputs came before (a finding replays alone as it happened in a run).
class GuardedRoom {
public:
    explicit GuardedRoom(std::size_t capacity) {
        mPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        mRoom = ((capacity + mPage - 1) / mPage + 1) * mPage;
        void* map = mmap(nullptr, mRoom + 2 * mPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) std::abort();
        mMap = static_cast<std::uint8_t*>(map);
        if (mprotect(mMap, mPage, PROT_NONE) != 0 || mprotect(mMap + mPage + mRoom, mPage, PROT_NONE) != 0)
            std::abort();
    }
    GuardedRoom(const GuardedRoom&) = delete;
    GuardedRoom& operator=(const GuardedRoom&) = delete;

    // Where `size` bytes start when they touch the guard in front (or else the one behind).
    std::uint8_t* Place(std::size_t size, bool guardInFront) const {
        return guardInFront ? mMap + mPage : mMap + mPage + mRoom - size;
    }
    // Back to all zeros once the placed bytes are done with (a stray write of the decoder's
    // included, which the other placement's guard catches).
    void Clear() const { std::memset(mMap + mPage, 0, mRoom); }

private:
    std::uint8_t* mMap = nullptr;
    std::size_t mPage = 0;
    std::size_t mRoom = 0;   // the accessible bytes between the guards
};

// The decoder written out the plain way, a field at a time from whole bytes, into samples * 2
// bytes at out: bits past the P + 1 bytes read as 0.
void ReferenceSamples(const std::uint8_t* packed, std::size_t packedBytes, int mode, std::size_t samples,
                      std::uint8_t* out) {
    std::size_t bit = 0;
    auto bits = [&](int n) {
        std::uint32_t v = 0;
        while (n > 0) {
            const std::size_t byte = bit / 8;
            const int left = 8 - static_cast<int>(bit % 8);   // bits of this byte not yet read
            const int take = n < left ? n : left;
            const std::uint32_t b = byte < packedBytes ? packed[byte] : 0u;
            v = (v << take) | ((b >> (left - take)) & ((1u << take) - 1));
            bit += static_cast<std::size_t>(take);
            n -= take;
        }
        return v;
    };
    std::int32_t x1 = 0, x2 = 0, x3 = 0;
    std::size_t done = 0;
    while (done < samples) {
        const int width = static_cast<int>(bits(4)) + 2;
        const int count = static_cast<int>(bits(4)) + 1;
        for (int k = 0; k < count && done < samples; ++k, ++done) {
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
            out[2 * done] = static_cast<std::uint8_t>((x >> 8) & 0xFF);
            out[2 * done + 1] = static_cast<std::uint8_t>(x & 0xFF);
        }
    }
}

// What the output must hold after decoding: the reference samples over a fill of 0xA5, which
// the decoder must leave wherever it writes nothing.
void ExpectedOutput(const std::uint8_t* header, const std::vector<std::uint8_t>& packed,
                    std::vector<std::uint8_t>& expected) {
    const std::size_t packedLength = packed.size() - 1;
    std::fill(expected.begin(), expected.end(), 0xA5);
    const int mode = header[5];
    if (mode >= 1 && mode <= 5)
        ReferenceSamples(packed.data(), packedLength ? packed.size() : 0, mode, expected.size() / 2, expected.data());
}

GuardedRoom& PackedRoom() {
    static GuardedRoom room(static_cast<std::size_t>(kBlockLimit) + 1);
    return room;
}

GuardedRoom& OutputRoom() {
    static GuardedRoom room(static_cast<std::size_t>(kBlockLimit));
    return room;
}

GuardedRoom& SecondOutputRoom() {
    static GuardedRoom room(static_cast<std::size_t>(kBlockLimit));
    return room;
}

void DecodeAndCheck(const std::uint8_t* header, const std::vector<std::uint8_t>& packed,
                    const std::vector<std::uint8_t>& expected, bool guardInFront) {
    const std::size_t packedLength = packed.size() - 1;
    const std::size_t unpacked = expected.size();
    std::uint8_t* in = PackedRoom().Place(packed.size(), guardInFront);
    std::uint8_t* out = OutputRoom().Place(unpacked, guardInFront);
    std::memcpy(in, packed.data(), packed.size());

    // Each way of decoding, the same output.
    for (const DecodeWay way : {DecodeWay::kFastest, DecodeWay::kPlain}) {
        std::memset(out, 0xA5, unpacked);
        DecodeBlock(packedLength ? in : nullptr, out, header, way);
        if (std::memcmp(in, packed.data(), packed.size()) != 0) std::abort(); // input is read-only
        if (unpacked && std::memcmp(out, expected.data(), unpacked) != 0) std::abort();
    }
    // Decoded together with a second block of the same bits and mode but half as many whole
    // samples, which ends first: each comes out as it would alone, the second's samples being
    // the first half of this one's. Against the guard behind only, where reading or writing past
    // the end faults, and first or second by the mode's low bit (which the inputs vary).
    if (!guardInFront) {
        std::uint8_t halfHeader[22];
        std::memcpy(halfHeader, header, sizeof halfHeader);
        const std::size_t half = unpacked / 4 * 2;
        halfHeader[18] = static_cast<std::uint8_t>(half >> 8);
        halfHeader[19] = static_cast<std::uint8_t>(half);
        std::uint8_t* halfOut = SecondOutputRoom().Place(half, false);
        std::memset(out, 0xA5, unpacked);
        std::memset(halfOut, 0xA5, half);
        const PackedBlock whole{packedLength ? in : nullptr, out, header};
        const PackedBlock halved{packedLength ? in : nullptr, halfOut, halfHeader};
        if (header[5] & 1)
            DecodeTwoBlocks(whole, halved);
        else
            DecodeTwoBlocks(halved, whole);
        if (unpacked && std::memcmp(out, expected.data(), unpacked) != 0) std::abort();
        if (half && std::memcmp(halfOut, expected.data(), half) != 0) std::abort();
        SecondOutputRoom().Clear();
    }
    // With a zero behind them, the P bytes alone right before the guard decode the same in place:
    // the byte behind is never read.
    if (!guardInFront && packed.back() == 0 && packedLength > 0) {
        std::uint8_t* alone = PackedRoom().Place(packedLength, false);
        std::memmove(alone, packed.data(), packedLength);
        for (const DecodeWay way : {DecodeWay::kFastest, DecodeWay::kPlain}) {
            std::memset(out, 0xA5, unpacked);
            DecodeBlockInPlace(alone, out, header, way);
            if (unpacked && std::memcmp(out, expected.data(), unpacked) != 0) std::abort();
        }
    }
    PackedRoom().Clear();
    OutputRoom().Clear();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 22) return 0;
    std::uint8_t header[22];
    std::memcpy(header, data, 22);
    const std::size_t packedLength = (std::size_t{header[16]} << 8) | header[17];
    const std::size_t unpacked = (std::size_t{header[18]} << 8) | header[19];
    constexpr auto kLimit = static_cast<std::size_t>(kBlockLimit);
    if (packedLength > kLimit || unpacked > kLimit) return -1;   // never decoded

    // The P packed bytes and the one the decoder may read behind them, which the input gives
    // too when it is long enough (so that byte is fuzzed like the rest).
    // Kept from one input to the next: only their sizes and contents are this input's.
    static std::vector<std::uint8_t> packed, expected;
    packed.assign(packedLength + 1, 0);
    std::memcpy(packed.data(), data + 22, std::min(size - 22, packed.size()));
    expected.resize(unpacked);
    ExpectedOutput(header, packed, expected);
    DecodeAndCheck(header, packed, expected, false);
    DecodeAndCheck(header, packed, expected, true);
    return 0;
}
