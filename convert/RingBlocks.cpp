#include "convert/RingBlocks.h"

#include "convert/KobFormat.h"
#include "stream/LFile.h"
#include "stream/LStream.h"

#include <algorithm>
#include <cstring>

namespace {

// What is read ahead of a block's header besides the largest block: the next header or two.
constexpr std::int64_t kAhead = 8192;

// A block is used where it lies: its header and data at consecutive addresses.
static_assert(KOBBlockHeader::kSize + kBlockLimit <= platform::ReadRing::kMirror);

} // namespace

RingBlocks::RingBlocks(LStream& input, std::uint64_t samples, std::uint8_t* memory) : mInput(input) {
    if (samples < kReadFrom || !memory) return;
    auto* file = dynamic_cast<LFile*>(&input);
    if (!file || !file->GetDataFork()) return;
    mStart = input.GetMarker();
    mLength = std::int64_t{input.GetLength()} - mStart;
    if (mStart < 0 || mLength <= 0) return;
    mRing.emplace(memory);
    mRing->Start(file->GetDataFork(), mStart, mLength);
    mServing = true;
}

bool RingBlocks::HandOver() {
    if (mServing) {
        mServing = false;
        mInput.SetMarker(static_cast<std::int32_t>(mStart + mPosition), 0);
    }
    return false;
}

bool RingBlocks::Read(QueuedBlock& block, const QueuedBlock* oldest) {
    if (!mServing) return false;
    const std::int64_t left = mLength - mPosition;
    if (left < KOBBlockHeader::kSize) return HandOver();
    // The largest block, and the next header or two. Every block from the oldest one queued on
    // still needs its bytes (blocks the stream read hold their own).
    const std::int64_t end = std::min(mPosition + KOBBlockHeader::kSize + kBlockLimit + kAhead, mLength);
    if (mFilled < end) {
        const std::int64_t keep = oldest && oldest->inPlace
                                      ? mRing->PositionOf(oldest->inPlace - KOBBlockHeader::kSize, mPosition)
                                      : mPosition;
        mFilled = mRing->Fill(keep, end);
    }
    if (mFilled < mPosition + KOBBlockHeader::kSize) return HandOver();
    const std::uint8_t* at = mRing->At(mPosition);
    std::memcpy(block.header.mBytes, at, KOBBlockHeader::kSize);
    const std::uint16_t packedLength = block.header.packedLength();
    if (packedLength > kBlockLimit || block.header.unpackedLength() > kBlockLimit ||
        mFilled - mPosition - KOBBlockHeader::kSize < packedLength)
        return HandOver();
    block.failure = nullptr;
    block.complaint = nullptr;
    block.JudgeHeader();
    block.inPlace = at + KOBBlockHeader::kSize;
    mPosition += KOBBlockHeader::kSize + packedLength;
    return true;
}
