#include "convert/MappedBlocks.h"

#include "convert/KobFormat.h"
#include "stream/LFile.h"
#include "stream/LStream.h"

#include <algorithm>
#include <cstring>

namespace {

// The bytes behind the oldest block still read ahead are given back every so often. Counted in
// the process's memory, they are what keeps it within 8 MB; each time costs the other core a
// flush of its address translations, which every 64 KiB took a tenth of the time, and every
// 256 KiB still a twentieth.
constexpr std::int64_t kForgetEvery = 1 << 19;
constexpr std::int64_t kAhead = 8192;

} // namespace

MappedBlocks::MappedBlocks(LStream& input, std::uint64_t samples) : mInput(input) {
    if (samples < kMappedFrom) return;
    auto* file = dynamic_cast<LFile*>(&input);
    if (!file || !file->GetDataFork()) return;
    mStart = input.GetMarker();
    const std::int64_t length = std::int64_t{input.GetLength()} - mStart;
    if (mStart < 0 || length <= 0) return;
    mRange.emplace(file->GetDataFork(), mStart, length);
    mServing = mRange->Data() != nullptr;
    mForgetAt = kForgetEvery;
}

bool MappedBlocks::HandOver() {
    if (mServing) {
        mServing = false;
        mInput.SetMarker(static_cast<std::int32_t>(mStart + mPosition), 0);
    }
    return false;
}

bool MappedBlocks::Read(QueuedBlock& block, const QueuedBlock* oldest) {
    if (!mServing) return false;
    const std::int64_t left = mRange->Length() - mPosition;
    if (left < KOBBlockHeader::kSize) return HandOver();
    // Every block from the oldest one queued on still needs its bytes: read ahead, it is decoded
    // where it lies. Blocks the stream read hold their own.
    const std::int64_t needed = oldest && oldest->inPlace
                                    ? oldest->inPlace - KOBBlockHeader::kSize - mRange->Data()
                                    : mPosition;
    if (needed >= mForgetAt) {
        mRange->Forget(needed);
        mForgetAt = needed + kForgetEvery;
    }
    // The largest block, and what is looked at ahead of it.
    if (!mRange->Reach(mPosition + KOBBlockHeader::kSize + kBlockLimit + kAhead)) return HandOver();
    const std::uint8_t* at = mRange->Data() + mPosition;
    // Each header depends on the one before for where it lies, so missing the cache for one after
    // another would add the memory's latency to every block; the bytes a little ahead are asked
    // for early, and the decoding finds them near too.
    for (const std::int64_t until = std::min(mPosition + kAhead, mRange->Length()); mFetched < until; mFetched += 64)
        __builtin_prefetch(mRange->Data() + mFetched);
    std::memcpy(block.header.mBytes, at, KOBBlockHeader::kSize);
    const std::uint16_t packedLength = block.header.packedLength();
    // Asked after the header is copied: a page that failed under it gave zeros.
    if (packedLength > kBlockLimit || block.header.unpackedLength() > kBlockLimit ||
        left - KOBBlockHeader::kSize < packedLength || mRange->Faulted())
        return HandOver();
    block.failure = nullptr;
    block.complaint = nullptr;
    block.JudgeHeader();
    block.inPlace = at + KOBBlockHeader::kSize;
    mPosition += KOBBlockHeader::kSize + packedLength;
    return true;
}
