#include "convert/BlockScanner.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int32_t kEndOfFile = 6;
constexpr std::int32_t kChunk = 32768;
// A chunk's last bytes are searched again at the start of the next one, so that a block
// header across two chunks is found whole in the second.
constexpr std::int32_t kOverlap = KOBBlockHeader::kSize - 1;
constexpr char kCommonStart[] = {'K', 'O', 'B'};

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
        for (std::int32_t i = 0; i < decided;) {
            const void* at = ::memmem(chunk + i, static_cast<std::size_t>(count - i), kCommonStart, sizeof kCommonStart);
            if (!at) break;
            const auto q = static_cast<std::int32_t>(static_cast<const std::uint8_t*>(at) - chunk);
            if (q >= decided) break;
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
            i = q + 1;
        }
        if (last) break;
        position += count - kOverlap;
    }
    return {};
}

bool HoldsSignatures(LStream& input) {
    try {
        return FindSignature(input, 0).kind != SignatureFind::Kind::kNone;
    } catch (std::int32_t) {
        return false;
    }
}
