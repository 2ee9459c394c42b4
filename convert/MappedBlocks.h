// The blocks of a large entry read in place from a mapping of the input file, instead of being
// copied out of it twice (into the stream's cache, then into the block's buffer).
//
//     MappedBlocks mapped(input, samples);
//     if (mapped.Read(block, queue.Front())) ...    // header copied, packed data in place
//     else ReadBlock(input, block);                 // the stream takes over from this block
//
// Read gives exactly the blocks, in exactly the order, that reading them from the stream would,
// as long as it serves them. Where it cannot serve a block (the file ends within it, a length is
// out of bounds, a page of the file could not be had), it puts the stream's marker at that
// block and serves no more: the stream then reads it, and everything after it, as it always
// has, with the reasons it has for what it cannot read. A block read before a page failed may
// have taken zeros for its data; its data checksum then fails, as the stream's read would have
// failed, and it is listed.
//
// WATCHOUT: the packed data stays in the mapping, so the MappedBlocks must outlive every block
// it served: declare it before the queue. The bytes before the oldest block queued are given
// back and can no longer be read: a block is read ahead only into the queue it names.
#pragma once

#include "convert/BlockQueue.h"
#include "platform/runtime/MappedRange.h"

#include <cstdint>
#include <optional>

class LStream;

class MappedBlocks {
public:
    // Maps the input from its marker to its end, for an entry of `samples` samples: a small one
    // is read from the stream, since mapping and giving the mapping back costs more than
    // copying a few blocks.
    MappedBlocks(LStream& input, std::uint64_t samples);
    static constexpr std::uint64_t kMappedFrom = 262144;   // samples

    // Reads the next block into `block`; false when the stream is to read it. oldest: the oldest
    // block still queued, or null; the bytes before it are given back.
    bool Read(QueuedBlock& block, const QueuedBlock* oldest);

private:
    bool HandOver();

    LStream& mInput;
    std::optional<platform::MappedRange> mRange;
    std::int64_t mStart = 0;      // the file offset of the range's first byte
    std::int64_t mPosition = 0;   // the next block's, from there
    std::int64_t mForgetAt = 0;   // where the bytes behind are next given back
    std::int64_t mFetched = 0;    // bytes asked for ahead, from the range's first
    bool mServing = false;
};
