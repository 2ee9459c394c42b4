// RescueBlocks: how an entry's blocks are read under --rescue.
//
// The plain reader trusts every block header's lengths: after a header that fails its tests it
// reads on at the place those lengths give, so one damaged header loses every block behind it.
// Here a block is taken only when its header passes its tests and fits the entry: its channel
// within the entry's channels, its lengths within their limits, its frames within the entry's
// frames and behind the last block of its channel (so no frame is written twice), its bytes not
// taken by another recording, and not too far from the block before it for the frames between
// them. After a header that does not pass, the next one that does is searched for; the search
// ends at an entry header's signature, or at a good block that does not fit, which belongs to
// something else.
//
//     RescueBlocks blocks(input, frameCount, channelCount, session, RescueBlocks::kClaim);
//     while (blocks.FindNext()) { read the block at the input's position; blocks.Took(header); }
//
// Its second half tracks what the written blocks leave silent, so the listing names every
// stretch without samples, per channel, and not only the blocks whose data failed its checksum.
#pragma once

#include "convert/DamageListing.h"
#include "convert/KobFormat.h"
#include "convert/RescueSession.h"
#include "stream/LStream.h"

#include <array>
#include <cstdint>
#include <deque>

class RescueBlocks {
public:
    enum Mode {
        kClaim,    // blocks taken are the recording's: claimed in the session
        kSurvey,   // only looking: what a recording here would take
    };
    // A block may stand this far, and 16 bytes for every frame of its channel between it and the
    // block before, from where the block before ended: damage seldom takes more, and a block
    // further off is more likely a stranger than the next of this entry.
    static constexpr std::int64_t kSlack = 1 << 20;

    // The entry's blocks start at the input's position.
    RescueBlocks(LStream& input, std::uint32_t frameCount, std::uint16_t channelCount, RescueSession& session, Mode mode);

    // The first block is not searched for at or beyond `until`.
    void SearchUntil(std::int64_t until) { mUntil = until; }

    // Sets the input at the next block the entry takes: the one at the input's position when it
    // fits, else the next one that fits. False when there is none; the entry's blocks end.
    bool FindNext();
    // The block FindNext found, with this header, has been read.
    void Took(const KOBBlockHeader& header);
    // Where the block FindNext found stands.
    std::int64_t Found() const { return mFound; }
    // The bytes between blocks taken that held nothing to take.
    std::int64_t SkippedBytes() const { return mSkipped; }

    // Before a block of the entry is written, in the order they were taken: lists the silence
    // its channel had since the last block written for it, and claims the block's bytes; only
    // its header's when its data failed its checksum, as then its length may be the damage's.
    void Written(const KOBBlockHeader& header, bool damaged, DamageListing& listing);
    // At the end of the entry: lists each channel's silence from its last block up to `end`.
    void ListUnwritten(DamageListing& listing, std::int64_t end);

private:
    bool Fits(std::int64_t position, const KOBBlockHeader& header) const;
    std::int32_t ListedChannel(std::uint8_t channel) const;

    LStream& mInput;
    std::int64_t mFrameCount;
    std::uint16_t mChannelCount;
    RescueSession& mSession;
    Mode mMode;
    std::int64_t mExpected;        // where the next block would stand, read back to back
    std::int64_t mFound = -1;      // the block FindNext found
    std::int64_t mLastData = -1;   // where the data of the last block taken starts
    std::int64_t mSkipped = 0;
    std::int64_t mUntil = INT64_MAX;
    std::array<std::int64_t, 256> mTaken{};     // per channel: the end of its last block taken
    std::array<std::int64_t, 256> mWritten{};   // per channel: the end of its last block written
    std::deque<std::int64_t> mTakenPositions;   // of the blocks taken and not yet written
};
