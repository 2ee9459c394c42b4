#include "convert/RescueBlocks.h"

#include "convert/BlockScanner.h"

#include <algorithm>

RescueBlocks::RescueBlocks(LStream& input, std::uint32_t frameCount, std::uint16_t channelCount,
                           RescueSession& session, Mode mode)
    : mInput(input), mFrameCount(frameCount), mChannelCount(channelCount), mSession(session), mMode(mode),
      mExpected(input.GetMarker()) {}

bool RescueBlocks::Fits(std::int64_t position, const KOBBlockHeader& header) const {
    const std::uint8_t channel = header.channel();
    if (channel < 1 || channel > mChannelCount) return false;
    if (header.packedLength() > kBlockLimit || header.unpackedLength() > kBlockLimit) return false;
    const std::int64_t frames = header.unpackedLength() / 2;
    const std::int64_t start = header.startFrame();
    if (frames == 0 || start + frames > mFrameCount) return false;
    if (start < mTaken[channel]) return false;
    if (position > mExpected && position - mExpected > kSlack + 16 * (start - mTaken[channel])) return false;
    return mSession.claimed.EndOf(position) < 0;
}

bool RescueBlocks::FindNext() {
    const std::int64_t here = mInput.GetMarker();
    KOBBlockHeader header;
    if (PeekBlockHeader(mInput, here, header) && BlockHeaderStatus(header) == kBlockGood && Fits(here, header)) {
        mFound = here;
    } else {
        // From the data of the block before: its length may be the damage's (its header check
        // is only 8 bits, and its data may have lost bytes), and then it spans the next blocks.
        // From here itself when there is none: an entry's signature here, or a good block that
        // does not fit, ends the entry as surely as one further on.
        const std::int64_t from = mLastData >= 0 ? std::min(mLastData, here) : here;
        const SignatureFind find = FindSignature(mInput, from, mUntil);
        if (find.kind != SignatureFind::Kind::kBlock || !Fits(find.position, find.header)) {
            mFound = -1;
            return false;
        }
        mFound = find.position;
    }
    mSkipped += std::max<std::int64_t>(mFound - mExpected, 0);
    mInput.SetMarker(static_cast<std::int32_t>(mFound), 0);
    return true;
}

void RescueBlocks::Took(const KOBBlockHeader& header) {
    const std::int64_t end = mFound + KOBBlockHeader::kSize + header.packedLength();
    mTaken[header.channel()] = header.startFrame() + header.unpackedLength() / 2;
    mExpected = end;
    mLastData = mFound + KOBBlockHeader::kSize;
    mUntil = INT64_MAX;
    if (mMode == kClaim) mTakenPositions.push_back(mFound);
}

std::int32_t RescueBlocks::ListedChannel(std::uint8_t channel) const {
    return mChannelCount > 1 ? channel : DamageListing::kNoChannel;
}

void RescueBlocks::Written(const KOBBlockHeader& header, bool damaged, DamageListing& listing) {
    if (!mTakenPositions.empty()) {
        const std::int64_t at = mTakenPositions.front();
        mTakenPositions.pop_front();
        mSession.claimed.Add(at, at + KOBBlockHeader::kSize + (damaged ? 0 : header.packedLength()));
    }
    const std::uint8_t channel = header.channel();
    const std::int64_t start = header.startFrame();
    if (start > mWritten[channel])
        listing.AddStretch(static_cast<std::int32_t>(mWritten[channel]), static_cast<std::int32_t>(start),
                           ListedChannel(channel));
    mWritten[channel] = std::max<std::int64_t>(mWritten[channel], start + header.unpackedLength() / 2);
}

void RescueBlocks::ListUnwritten(DamageListing& listing, std::int64_t end) {
    for (std::int64_t channel = 1; channel <= mChannelCount; ++channel) {
        const std::int64_t from = channel < 256 ? mWritten[static_cast<std::size_t>(channel)] : 0;
        if (from < end)
            listing.AddStretch(static_cast<std::int32_t>(from), static_cast<std::int32_t>(end),
                               mChannelCount > 1 ? static_cast<std::int32_t>(channel) : DamageListing::kNoChannel);
    }
}
