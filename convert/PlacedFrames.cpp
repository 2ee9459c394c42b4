#include "convert/PlacedFrames.h"

#include "convert/KobFormat.h"
#include "platform/runtime/NeverDestroyed.h"
#include "stream/LWaveFile.h"

namespace {

// Where in the file a long stretch of frames ends: a multiple of this many bytes, as near its
// end as whole frames allow.
constexpr std::int64_t kWriteAlignment = 1 << 18;

// The ring of the last entry, for the next: kept, not mapped again.
SpareBlock& SpareRing() {
    static platform::NeverDestroyed<SpareBlock> spare;
    return spare.get();
}

} // namespace

PlacedFrames::PlacedFrames(std::uint16_t channels, std::uint32_t frameCount, bool allowed, std::uint8_t* ring)
    : mChannels(channels), mFrameBytes(std::int64_t{channels} * 2), mFrameCount(frameCount),
      // The writer's own stretch, a quarter of a megabyte: the system takes a write of it for
      // less than two of half as much (it adds whole pieces of that size to its cache), and
      // while the converter writes one, the blocks read ahead keep a helper busy.
      mStretchBytes(LWaveFile::kHeldBytes),
      mPlacing(allowed && channels > 0 && channels <= kMostPlacedChannels && frameCount > 0) {
    if (!mPlacing) {
        mFirstUnplaced = 0;
        return;
    }
    mRingBytes = ring;
    if (mRingBytes) return;
    mRing = SpareRing().Take(kRingBytes);
    if (!mRing) {
        mRing = std::make_unique<HeapBlock>(kRingBytes);
        // An entry that goes round the ring touches all of it: its pages are mapped in one call.
        if (std::int64_t{frameCount} * mFrameBytes >= kRingBytes) MapAtOnce(mRing->Bytes(), kRingBytes);
    }
    mRingBytes = mRing->Bytes();
}

PlacedFrames::~PlacedFrames() {
    SpareRing().GiveBack(std::move(mRing));
}

bool PlacedFrames::Room() const {
    // A block of the open group lands in frames it already has.
    if (!mPlacing || mOpen) return true;
    return Fit(mChannels * std::int64_t{kBlockLimit}) >= 0;
}

bool PlacedFrames::Follows(const QueuedBlock& block) const {
    const KOBBlockHeader& header = block.header;
    if (block.failure || block.status != 0 || block.shortData) return false;
    const std::int64_t frames = header.unpackedLength() / 2;
    if (frames < 1 || (header.unpackedLength() & 1) || header.channel() != mNextChannel) return false;
    // The first frame as the writer takes it: a signed 32-bit number.
    const std::int64_t start = static_cast<std::int32_t>(header.startFrame());
    if (mNextChannel == 1) return start == mNextFrame && start + frames <= mFrameCount;
    const Group& group = mGroups.back();
    return start == group.firstFrame && frames == group.frames;
}

std::int64_t PlacedFrames::Fit(std::int64_t bytes) const {
    const std::int64_t size = kRingBytes;
    if (mGroups.empty()) return bytes <= size ? 0 : -1;
    const std::int64_t head = mGroups.front().offset;
    const std::int64_t tail = mGroups.back().offset + mGroups.back().bytes;
    if (mGroups.back().offset >= head) {
        // In use: head to tail. After it, else from the ring's start.
        if (tail + bytes <= size) return tail;
        return bytes <= head ? 0 : -1;
    }
    // In use: head to the end, and the start to tail.
    return tail + bytes <= head ? tail : -1;
}

void PlacedFrames::Place(QueuedBlock& block) {
    block.frames = nullptr;
    const std::int64_t seq = mReadSeq++;
    if (!mPlacing) return;
    if (!Follows(block)) return StopAt(seq);
    const KOBBlockHeader& header = block.header;
    if (header.channel() == 1) {
        const std::int64_t frames = header.unpackedLength() / 2;
        const std::int64_t offset = Fit(frames * mFrameBytes);
        // The caller asked Room first, so this never happens.
        if (offset < 0) return StopAt(seq);
        mGroups.push_back({offset, frames * mFrameBytes, static_cast<std::int32_t>(header.startFrame()), frames, -1});
        mOpen = true;
        mOpenFirst = seq;
    }
    Group& group = mGroups.back();
    block.frames = mRingBytes + group.offset;
    block.frameBytes = static_cast<std::int32_t>(mFrameBytes);
    if (++mNextChannel > mChannels) {
        group.lastSeq = seq;
        mOpen = false;
        mNextChannel = 1;
        mNextFrame = group.firstFrame + group.frames;
    }
}

void PlacedFrames::StopAt(std::int64_t seq) {
    if (!mPlacing) return;
    mPlacing = false;
    mFirstUnplaced = mOpen ? mOpenFirst : seq;
    // Its frames are never written; the blocks decoding into them still may, and nothing else
    // takes room in the ring from now on.
    if (mOpen) mGroups.pop_back();
    mOpen = false;
}

bool PlacedFrames::Written() {
    const std::int64_t seq = mWrittenSeq++;
    if (seq >= mFirstUnplaced) return false;
    // Blocks are written in the order they were read, so groups complete in order too: the
    // first one not complete is this block's.
    const Group& group = mGroups[mCompleted];
    if (group.lastSeq == seq) {
        ++mCompleted;
        if (!mRunEnds && mRunCount + 1 == mCompleted) Extend(group);
    }
    return true;
}

void PlacedFrames::Extend(const Group& group) {
    // It lies right behind the stretch to write, or at the ring's start when the stretch reaches
    // its end (once), or the stretch can grow no more.
    const std::int64_t front = mGroups.front().offset;
    const bool behind = mRunWrapped ? group.offset == mRunBytes - mRunFirstBytes : group.offset == front + mRunBytes;
    if (mRunCount > 0 && !behind) {
        if (mRunWrapped || group.offset != 0) {
            mRunEnds = true;
            return;
        }
        mRunWrapped = true;
        mRunFirstBytes = mRunBytes;
    }
    mRunBytes += group.bytes;
    mRunFrames += group.frames;
    ++mRunCount;
}

std::int64_t PlacedFrames::AlignedFrames() const {
    const std::int64_t first = mGroups.front().firstFrame;
    const std::int64_t end = (LWaveFile::kHeaderSize + (first + mRunFrames) * mFrameBytes) / kWriteAlignment * kWriteAlignment;
    const std::int64_t frames = (end - LWaveFile::kHeaderSize) / mFrameBytes - first;
    return frames > 0 ? frames : mRunFrames;
}

void PlacedFrames::Consume(std::int64_t frames) {
    std::size_t whole = 0;
    while (whole < mCompleted && frames >= mGroups[whole].frames) frames -= mGroups[whole++].frames;
    mGroups.erase(mGroups.begin(), mGroups.begin() + static_cast<std::ptrdiff_t>(whole));
    mCompleted -= whole;
    if (frames == 0) return;
    // The rest of a group goes out with the next stretch.
    Group& group = mGroups.front();
    group.offset += frames * mFrameBytes;
    group.bytes -= frames * mFrameBytes;
    group.firstFrame += frames;
    group.frames -= frames;
}

void PlacedFrames::Flush(LWaveFile& writer, bool all) {
    while (mRunCount > 0 && (all || mRunEnds || mRunBytes >= mStretchBytes)) {
        // A long stretch ends where the file's pages do, and the next starts there. Written from
        // the middle of a page, each stretch would make the file's cache start over with small
        // pieces of memory up to the next large boundary: the writes took half as long again.
        const std::int64_t frames = all || mRunEnds ? mRunFrames : AlignedFrames();
        const std::uint8_t* start = mRingBytes + mGroups.front().offset;
        // A stretch that goes on at the ring's start is written in one piece all the same.
        const std::int64_t firstFrames = mRunWrapped ? mRunFirstBytes / mFrameBytes : frames;
        if (frames <= firstFrames)
            writer.WriteFrames(mGroups.front().firstFrame, frames, start);
        else
            writer.WriteFrames(mGroups.front().firstFrame, start, firstFrames, mRingBytes, frames - firstFrames);
        Consume(frames);
        // The next stretch: the complete groups that follow the first without a gap.
        mRunCount = 0;
        mRunBytes = mRunFrames = mRunFirstBytes = 0;
        mRunEnds = mRunWrapped = false;
        for (std::size_t i = 0; i < mCompleted && !mRunEnds; ++i) Extend(mGroups[i]);
    }
}
