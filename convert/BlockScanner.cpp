#include "convert/BlockScanner.h"
#include "stream/ErrorCode.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::int32_t kEndOfFile = 6;
constexpr std::int32_t kChunk = 32768;
// A chunk's last bytes are searched again at the start of the next one, so that a block
// header across two chunks is found whole in the second.
constexpr std::int32_t kOverlap = KOBBlockHeader::kSize - 1;

// Whether a signature may start at bytes[0]: "KOB!" or "KOB1".
inline bool MayStart(const std::uint8_t* bytes) {
    return bytes[0] == 'K' && bytes[1] == 'O' && bytes[2] == 'B' && (bytes[3] == '!' || bytes[3] == '1');
}

// The first position below `decided` from `from` on at which "KOB!" or "KOB1" stands, its four
// bytes within `count`; -1 when there is none. Sixteen positions are tested at once where the
// processor allows, so that a chunk dense with one of the letters, or with "KOB" itself, costs
// no more than any other.
std::int32_t NextCandidate(const std::uint8_t* chunk, std::int32_t from, std::int32_t decided, std::int32_t count) {
    std::int32_t i = from;
#if defined(__SSE2__)
    const __m128i k = _mm_set1_epi8('K'), o = _mm_set1_epi8('O'), b = _mm_set1_epi8('B');
    const __m128i bang = _mm_set1_epi8('!'), one = _mm_set1_epi8('1');
    for (; i < decided && i + 16 + 3 <= count; i += 16) {
        const auto load = [&](std::int32_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + at)); };
        const __m128i fourth = load(i + 3);
        const __m128i match = _mm_and_si128(
            _mm_and_si128(_mm_cmpeq_epi8(load(i), k), _mm_cmpeq_epi8(load(i + 1), o)),
            _mm_and_si128(_mm_cmpeq_epi8(load(i + 2), b),
                          _mm_or_si128(_mm_cmpeq_epi8(fourth, bang), _mm_cmpeq_epi8(fourth, one))));
        if (const int mask = _mm_movemask_epi8(match)) {
            const std::int32_t at = i + __builtin_ctz(static_cast<unsigned>(mask));
            return at < decided ? at : -1;
        }
    }
#endif
    for (; i < decided && i + 4 <= count; ++i)
        if (MayStart(chunk + i)) return i;
    return -1;
}

} // namespace

bool PeekBlockHeader(LStream& input, std::int64_t position, KOBBlockHeader& header) {
    if (position < 0 || position + KOBBlockHeader::kSize > kPositionLimit) return false;
    input.SetMarker(static_cast<std::int32_t>(position), 0);
    std::int32_t count = KOBBlockHeader::kSize;
    const std::int32_t result = input.GetBytes(header.mBytes, count);
    if (result != 0 && result != kEndOfFile && result != 1) throw result;
    return count == KOBBlockHeader::kSize && result == 0;
}

SignatureFind FindSignature(LStream& input, std::int64_t from, std::int64_t until) {
    std::uint8_t chunk[kChunk];
    until = std::min(until, kPositionLimit);
    for (std::int64_t position = std::max<std::int64_t>(from, 0); position < until;) {
        input.SetMarker(static_cast<std::int32_t>(position), 0);
        // Enough bytes for a whole block header at the last position searched.
        const auto asked = static_cast<std::int32_t>(std::min<std::int64_t>(kChunk, std::min(until + kOverlap, kPositionLimit) - position));
        std::int32_t count = asked;
        const std::int32_t result = input.GetBytes(chunk, count);
        if (result != 0 && result != kEndOfFile && result != 1) throw result;
        const bool last = result != 0 || count < asked || position + count >= until;
        // Positions this chunk decides: the rest come again at the start of the next one.
        const std::int32_t decided = static_cast<std::int32_t>(
            std::min<std::int64_t>(last ? count : count - kOverlap, until - position));
        for (std::int32_t q = NextCandidate(chunk, 0, decided, count); q >= 0; q = NextCandidate(chunk, q + 1, decided, count)) {
            if (q + KOBBlockHeader::kSize <= count && chunk[q + 3] == '!') {
                SignatureFind find;
                std::memcpy(find.header.mBytes, chunk + q, KOBBlockHeader::kSize);
                if (BlockHeaderStatus(find.header) == kBlockGood) {
                    find.kind = SignatureFind::Kind::kBlock;
                    find.position = position + q;
                    return find;
                }
            } else if (q + kEntrySignatureSize <= count && IsEntryStart(chunk + q)) {
                SignatureFind find;
                find.kind = SignatureFind::Kind::kEntry;
                find.position = position + q;
                return find;
            }
        }
        if (last) break;
        position += count - kOverlap;
    }
    return {};
}

bool HoldsSignatures(LStream& input) {
    try {
        return FindSignature(input, 0).kind != SignatureFind::Kind::kNone;
    } catch (ErrorCode) {
        return false;
    }
}
