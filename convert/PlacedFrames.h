// Frames filled in by whoever decodes the blocks, and written out whole.
//
// An entry's blocks mostly come in groups: channel 1, 2, ... of the same frames, the groups one
// after the other from frame 0. Each such group gets its frames in a ring of memory when its
// first block is read, and the thread that decodes a block of it places the block's samples
// there itself (PlaceChannel), where they are still in its cache; the converter writes the
// frames out in long stretches once their groups are complete, with nothing to interleave. A
// long stretch ends at a multiple of 128 KiB of the file, where the next one starts.
//
//     PlacedFrames placed(channels, frameCount, allowed);     // before the queue
//     while (placed.Room() && (block = queue.Vacant())) { read; placed.Place(*block); publish; }
//     while (placed.MustReadOn()) { read the rest of the oldest block's group }
//     const bool inRing = placed.Written(oldest);             // else: writer.WriteSamples
//     placed.Flush(writer, !inRing);
//
// The first block that does not follow the pattern (a damaged header, a channel or a frame out
// of turn, a block cut off) ends the placing for the entry: it, the blocks of its group read
// before it and every block after it are written the usual way, after every frame placed
// before them. The file then holds exactly what writing each block the usual way gives.
//
// WATCHOUT: blocks hold pointers into the ring until they are decoded, so the PlacedFrames must
// outlive the queue: declare it before.
#pragma once

#include "convert/BlockQueue.h"
#include "stream/HeapBlock.h"

#include <cstdint>
#include <deque>
#include <memory>

class LWaveFile;

class PlacedFrames {
public:
    // allowed: whether the entry's frames may be placed at all (not under --rescue, a writer
    // that takes whole frames of these channels). ring: kRingBytes of memory for the frames,
    // which outlive this (EntryMemory); null: a ring of its own.
    PlacedFrames(std::uint16_t channels, std::uint32_t frameCount, bool allowed, std::uint8_t* ring = nullptr);
    // Room for the frames of the blocks read ahead (a quarter of a megabyte at most: 128 blocks
    // of 1,024 frames, or the queue's budget of larger ones), of the complete groups not yet
    // written (a stretch goes out at a quarter) and of one group more.
    static constexpr std::int32_t kRingBytes = 3 << 18;
    ~PlacedFrames();
    PlacedFrames(const PlacedFrames&) = delete;
    PlacedFrames& operator=(const PlacedFrames&) = delete;

    // Whether the ring has room for the group of the next block read (always, once placing ends).
    bool Room() const;
    // Gives the block just read, before it is published, its place in the frames, or none.
    void Place(QueuedBlock& block);
    // Whether the next block to be written belongs to a group not yet complete, whose other
    // blocks must be read first. If they cannot be, Stop.
    bool MustReadOn() const { return mOpen && mWrittenSeq >= mOpenFirst; }
    // Ends the placing: the open group's blocks are written the usual way.
    void Stop() { StopAt(mReadSeq); }
    // For each block in turn as it is written: true when its samples are placed, and so written
    // by Flush; false when the caller writes them.
    bool Written();
    // Writes the frames of complete groups: a long stretch of them, or all (before a block is
    // written the usual way, and at the end of the entry).
    void Flush(LWaveFile& writer, bool all);

private:
    struct Group {
        std::int64_t offset;      // in the ring
        std::int64_t bytes;
        std::int64_t firstFrame;
        std::int64_t frames;
        std::int64_t lastSeq;     // its last block; -1 while it is open
    };

    bool Follows(const QueuedBlock& block) const;
    // Where `bytes` of frames fit in the ring now, or -1.
    std::int64_t Fit(std::int64_t bytes) const;
    void StopAt(std::int64_t seq);
    // How many of the stretch's frames to write so that it ends at an aligned place in the file:
    // all of them when none would.
    std::int64_t AlignedFrames() const;
    // Adds the next complete group to the stretch Flush writes next, or ends the stretch.
    void Extend(const Group& group);
    // Takes the first `frames` frames of the complete groups as written.
    void Consume(std::int64_t frames);

    const std::uint16_t mChannels;
    const std::int64_t mFrameBytes;
    const std::int64_t mFrameCount;
    const std::int64_t mStretchBytes;   // the frames Flush waits for before it writes
    bool mPlacing;
    std::unique_ptr<HeapBlock> mRing;   // the ring when it is its own
    std::uint8_t* mRingBytes = nullptr; // the ring, kRingBytes
    std::deque<Group> mGroups;          // placed and not yet written out, in order
    std::size_t mCompleted = 0;         // of them, the first ones whose blocks are all written
    // The stretch Flush writes next: the first complete groups, one after the other in the ring
    // (going on at its start once).
    std::size_t mRunCount = 0;
    std::int64_t mRunBytes = 0;
    std::int64_t mRunFrames = 0;
    bool mRunEnds = false;              // the complete group after it lies elsewhere
    bool mRunWrapped = false;           // it goes on at the ring's start...
    std::int64_t mRunFirstBytes = 0;    // ...after this many bytes at the ring's end
    std::int64_t mReadSeq = 0;          // blocks read so far
    std::int64_t mWrittenSeq = 0;       // blocks written so far
    std::int64_t mFirstUnplaced = INT64_MAX;   // the first block written the usual way
    bool mOpen = false;                 // the last group lacks channels
    std::int64_t mOpenFirst = 0;        // its first block
    std::uint16_t mNextChannel = 1;     // the channel the next block must have
    std::int64_t mNextFrame = 0;        // where the next group must start
};
