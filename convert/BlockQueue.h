// The blocks of one entry between their reading and their writing.
//
// The converter reads a few blocks ahead of the one it writes. Each block read is put in the
// queue; decoding it and checking its samples needs nothing but its own bytes, so a helper thread
// on another core decodes queued blocks while the converter reads and writes. When the converter
// comes to write a block nobody has decoded yet, it decodes it itself; while the helper is busy
// with that block, the converter decodes the next one waiting rather than wait. The blocks are
// written in the order they were read, so the output is the same whoever decoded what.
//
//     BlockQueue queue;
//     while (QueuedBlock* block = queue.Vacant()) { read into *block; queue.Publish(); }
//     QueuedBlock& next = queue.Oldest();   // decoded
//     write next; queue.Release();
//
// WATCHOUT: the helper only ever decodes; every file call, every message to the window and every
// throw stays on the converter's thread, in the order of the blocks. The helper touches nothing
// but the bytes of the block it took, and a queue is never destroyed while the helper is in it.
// When no helper thread can be started (a limit on threads, a single core) the converter decodes
// every block itself.
#pragma once

#include "convert/KobFormat.h"
#include "stream/HeapBlock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

struct QueuedBlock {
    enum class State {
        kFree,     // no block; the converter may read one into it
        kWaiting,  // read, to be decoded by whoever takes it first
        kFollows,  // read, of the same frames as the block before: its decoder goes on with it
        kTaken,    // being decoded by the converter or the helper
        kDecoded,  // samples ready to be written
    };

    KOBBlockHeader header;
    bool headerGood = false;   // the header's magic and check are right
    std::int32_t status = 0;   // the header's status, else the code of the data's read
    bool shortData = false;    // the file ended inside the packed data
    bool damaged = false;      // decoding found it damaged: its samples are silence
    // Reading it threw this: thrown on the converter's thread when the block's turn comes, so
    // that the blocks before it are written first, as if nothing had been read ahead.
    std::exception_ptr failure;
    const char* complaint = nullptr;  // printed on standard error just before failure is thrown
    // The block's buffers, from the queue's store while the block is read ahead.
    std::uint8_t* packed = nullptr;   // kBlockLimit + 1 bytes: the data and the byte behind it
    std::uint8_t* samples = nullptr;  // kBlockLimit bytes
    // The packed data where it was read, when it stays there (RingBlocks); else it is in packed.
    const std::uint8_t* inPlace = nullptr;
    // Where the decoder places the samples instead, into frames of frameBytes bytes shared with
    // the entry's other channels (PlacedFrames); null: in samples.
    std::uint8_t* frames = nullptr;
    std::int32_t frameBytes = 0;
    std::int32_t bytes = 0;           // of them the block uses, counted against the queue's budget
    // Who may touch the block: the converter while it is free or decoded, whoever took it while
    // taken; a waiting block is read by nobody until it is taken.
    std::atomic<State> state{State::kFree};

    // Its header just read: what is known of the block before its data is read.
    void JudgeHeader() {
        status = BlockHeaderStatus(header);
        headerGood = status == 0;
        shortData = false;
    }
};

// The most channels whose frames are placed (PlacedFrames): a group of them takes 256 KiB at most.
constexpr std::uint16_t kMostPlacedChannels = 16;

// Decodes a block read into `block`: its samples, or silence when its header or its data is bad.
void DecodeQueuedBlock(QueuedBlock& block) noexcept;

class BlockQueue {
public:
    // Blocks read ahead, at most, and the bytes they may use. The read-ahead is what the helper
    // has to do while the converter writes a stretch of frames (an eighth of a megabyte) and
    // while it comes back from a sleep: it must last longer than both, and small blocks last
    // little, so it is counted in bytes, with many places for many small blocks.
    static constexpr std::int32_t kDepth = 128;
    static constexpr std::int32_t kBudget = 16 * (2 * kBlockLimit + 1);

    // samples: how many the entry holds, when known. An entry of a few blocks is decoded by
    // the converter alone: waking the helper and handing its blocks over would cost more than
    // the helper could save.
    explicit BlockQueue(std::uint64_t samples = UINT64_MAX);   // throws 2 when its buffers cannot be had
    static constexpr std::uint64_t kHelpedFrom = 262144;   // samples
    ~BlockQueue();  // waits until the helper is out of it
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // The place for the next block read, or nullptr while the queue is full. Once full, it takes
    // blocks again only when a quarter of it is free: the blocks then come to the helper a
    // batch at a time, and it is told of each batch once, not of every block.
    QueuedBlock* Vacant();
    // The same whatever the budget and the batching: nullptr only while every place is taken.
    QueuedBlock* VacantAnyway();
    // The vacant block has been read into: from now on it may be decoded.
    void Publish();
    bool Empty() const { return mCount == 0; }
    // The oldest block published and not released, whatever its state; null when there is none.
    const QueuedBlock* Front() const { return mCount == 0 ? nullptr : &Place(mHead.load(std::memory_order_relaxed)); }
    // The oldest block, decoded. The queue must not be empty.
    QueuedBlock& Oldest();
    // The oldest block is written: its place is free.
    void Release();

private:
    friend class DecodeHelper;
    // Takes the oldest block that waits to be decoded, for the caller to decode; nullptr when none
    // waits. The converter and the helper both call it. look: the place of the first block the
    // caller has not seen taken, in blocks since the queue began; it is moved on past the block
    // taken. The helper keeps it from one block to the next: the blocks it decoded before are
    // not looked at again, nor the lines the converter writes as it releases them.
    QueuedBlock* TakeWaiting(std::int64_t& look);
    // Decodes a block taken, then the blocks that follow it into the same frames: one core fills
    // them all, and no line of them passes between the cores while they are filled. following:
    // the helper's, to take the next waiting block into (or null) once the samples are decoded
    // and before they are stored away, when what it takes waits for few stores.
    void DecodeTaken(QueuedBlock* block, bool byHelper, QueuedBlock** following = nullptr);
    // The helper's way with a group of more than two channels whose blocks are all read: the
    // frames made whole in its own memory, then stored to the ring in whole lines. False when
    // the group is not all there (nothing is taken then).
    bool DecodeWholeGroup(QueuedBlock* first, QueuedBlock** following);
    // Takes `next`, the place behind a block its caller has taken, when it follows that block.
    static bool TakeFollowing(QueuedBlock& next, bool byHelper);
    QueuedBlock& At(std::int64_t index) { return Place(mHead.load(std::memory_order_relaxed) + index); }
    QueuedBlock& Place(std::int64_t sequence) { return mBlocks[static_cast<std::size_t>(sequence % kDepth)]; }
    const QueuedBlock& Place(std::int64_t sequence) const { return mBlocks[static_cast<std::size_t>(sequence % kDepth)]; }

    // Every place's packed data and samples, kept from one entry to the next (see the source).
    std::unique_ptr<HeapBlock> mBuffers;
    // The buffers no block holds, the last one given back on top: the few that large blocks
    // use are used again and again, so the memory touched stays what the budget allows.
    std::array<std::uint8_t*, kDepth> mStore{};
    std::int32_t mStored = 0;
    std::int32_t mBytes = 0;                     // used by the blocks published and not released
    std::array<QueuedBlock, kDepth> mBlocks;     // a ring: mCount blocks from mHead on
    // The oldest block, counted in blocks since the queue began. Only the converter moves it;
    // the helper reads it to look from there on.
    std::atomic<std::int64_t> mHead{0};
    std::int32_t mCount = 0;                     // blocks published and not yet released
    bool mHelped = false;                        // the helper works on this queue
    bool mDistanceKnown = false;                 // the helper's distance is measured (or never will be)
    bool mRefilling = true;                      // Vacant gives places until the queue is full
    std::int32_t mUnannounced = 0;               // blocks published the helper was not told of

    // Where the helper looks for the next block to take (TakeWaiting). Only the helper touches
    // it, on a line of its own: the converter's writes to the queue do not take it away.
    alignas(64) std::int64_t mHelperLook = 0;

    // Tells the helper of the blocks published since it was last told.
    void Announce();
};
