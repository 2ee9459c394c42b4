#include "convert/MappedBlocks.h"

#include "convert/KobFormat.h"
#include "stream/LFile.h"
#include "stream/LStream.h"

#include <algorithm>
#include <cstring>

namespace {

// The bytes of the file the process keeps looking at: those behind the blocks read are given
// back every so often, a little behind what the blocks read ahead may still be using. A look at
// one given back too early only takes it from the system's cache again. Counted in the
// process's memory, they are what keeps it within 8 MB; each time costs the other core a
// flush of its address translations, which every 64 KiB took a tenth of the time, and every
// 256 KiB still a twentieth.
constexpr std::int64_t kKept = 1 << 18;
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
    mForgetAt = kKept + kForgetEvery;
}

bool MappedBlocks::HandOver() {
    if (mServing) {
        mServing = false;
        mInput.SetMarker(static_cast<std::int32_t>(mStart + mPosition), 0);
    }
    return false;
}

bool MappedBlocks::Read(QueuedBlock& block) {
    if (!mServing) return false;
    const std::int64_t left = mRange->Length() - mPosition;
    if (left < KOBBlockHeader::kSize) return HandOver();
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
    if (mPosition >= mForgetAt) {
        mRange->Forget(mPosition - kKept);
        mForgetAt = mPosition + kForgetEvery;
    }
    return true;
}
