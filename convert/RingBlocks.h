// The blocks of a large entry read ahead into a ring (platform::ReadRing) and decoded where they
// lie, instead of being copied twice (into the stream's cache, then into each block's buffer).
//
//     RingBlocks ring(input, samples, memory);   // platform::ReadRing::kBytes of memory
//     if (ring.Read(block, queue.Front())) ...    // header copied, packed data in the ring
//     else ReadBlock(input, block);               // the stream takes over from this block
//
// Read gives exactly the blocks, in exactly the order, that reading them from the stream would,
// as long as it serves them. Where it cannot serve a block (the file ends within it or fails,
// a length is out of bounds, the blocks queued fill the ring), it puts the stream's marker at
// that block and serves no more: the stream then reads it, and everything after it, as it
// always has, with the reasons it has for what it cannot read.
//
// WATCHOUT: the packed data stays in the ring, so the RingBlocks must outlive every block it
// served: declare it before the queue. The ring reads over the bytes before the oldest block
// queued: a block is read ahead only into the queue it names.
#pragma once

#include "convert/BlockQueue.h"
#include "platform/runtime/ReadRing.h"

#include <cstdint>
#include <optional>

class LStream;

class RingBlocks {
public:
    // Reads the input from its marker to its end, for an entry of `samples` samples, into
    // `memory`: a small one is read from the stream, which the entry header's reading has
    // filled already, and so is every entry when there is no memory for the ring.
    RingBlocks(LStream& input, std::uint64_t samples, std::uint8_t* memory);
    RingBlocks(const RingBlocks&) = delete;
    RingBlocks& operator=(const RingBlocks&) = delete;
    static constexpr std::uint64_t kReadFrom = 262144;   // samples

    // Reads the next block into `block`; false when the stream is to read it. oldest: the oldest
    // block still queued, or null; the bytes before it may be read over.
    bool Read(QueuedBlock& block, const QueuedBlock* oldest);

private:
    bool HandOver();

    LStream& mInput;
    std::optional<platform::ReadRing> mRing;
    std::int64_t mStart = 0;      // the file offset of the ring's position 0
    std::int64_t mLength = 0;     // of the file from there
    std::int64_t mPosition = 0;   // the next block's
    std::int64_t mFilled = 0;     // positions the ring holds
    bool mServing = false;
};
