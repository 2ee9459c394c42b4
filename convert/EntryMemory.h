// The memory of a large entry's two rings, the blocks read ahead (RingBlocks) and the frames
// placed (PlacedFrames), together in one of the system's large pages where it has them. Both
// rings go round in full for a large entry; in ordinary pages each of their 450 pages costs a
// trap or two the first time round. On a virtual machine of ours that was 4 to 6 ms a run.
//
//     EntryMemory memory(large);        // before the rings; nothing taken when not large
//     RingBlocks ring(input, samples, memory.ReadRing());     // null: no memory for it
//     PlacedFrames placed(channels, frames, allowed, memory.Frames());
//
// There is one such block for the process, made at the first large entry and kept from one to
// the next. An entry that finds it taken (another converter has it) gets no memory: its rings
// are those of a small entry.
#pragma once

#include <cstdint>

class EntryMemory {
public:
    explicit EntryMemory(bool large);
    ~EntryMemory();   // gives the block back for the next entry
    EntryMemory(const EntryMemory&) = delete;
    EntryMemory& operator=(const EntryMemory&) = delete;

    // platform::ReadRing::kBytes, or null.
    std::uint8_t* ReadRing() const { return mBlock; }
    // PlacedFrames::kRingBytes, or null.
    std::uint8_t* Frames() const;

private:
    std::uint8_t* mBlock = nullptr;
};
