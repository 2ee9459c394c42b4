// ReadRing: a file read ahead into a ring of memory whose first bytes are kept again right
// behind its end (a mirror), so that the bytes of any stretch no longer than the mirror lie at
// consecutive addresses however the stretch wraps. A reader can use the bytes where they were
// read: one copy (the system's, out of its cache) instead of two, and no page fault once the
// ring has been round once. A view of the file itself (mmap) saves that copy but faults at every
// few pages it comes to, and on some virtual machines a fault costs more than the copy.
//
//     platform::ReadRing ring(memory);                // kBytes of memory, the caller's
//     ring.Start(stream, offset, length);             // position 0 is file byte `offset`
//     if (ring.Fill(keep, end) >= end) use(ring.At(position));   // keep <= position < end
//
// The file's bytes are read with the system's positioned reads: the stream's own position is
// never moved. A file that someone shortens meanwhile, or a medium that fails, gives fewer
// bytes, and Fill says how many it has.
//
// The ring's memory is the caller's, so that it can lie in a large page (LargePages.h) with other
// memory: a ring mapped twice over the same memory would need shared memory, which the system
// keeps in ordinary pages.
#pragma once

#include <cstdint>
#include <cstdio>

namespace platform {

class ReadRing {
public:
    static constexpr std::int64_t kSize = 1 << 20;
    // The mirror: the longest stretch that lies at consecutive addresses wherever it starts.
    static constexpr std::int64_t kMirror = 1 << 16;
    // The memory a ring takes.
    static constexpr std::int64_t kBytes = kSize + kMirror;

    // memory: kBytes bytes that outlive the ring.
    explicit ReadRing(std::uint8_t* memory) : mBase(memory) {}
    ReadRing(const ReadRing&) = delete;
    ReadRing& operator=(const ReadRing&) = delete;

    // Reads `length` bytes of the stream's file from `offset` on, as positions 0 to length - 1.
    void Start(std::FILE* stream, std::int64_t offset, std::int64_t length);

    // Reads ahead until the ring holds every position before `end` (clipped to the length),
    // keeping those from `keep` on (what lies before may be read over). Returns the position
    // before which it holds the file's bytes: less than asked when the file gave fewer or failed
    // (from then on it reads nothing more), or when `end - keep` exceeds the ring.
    std::int64_t Fill(std::int64_t keep, std::int64_t end);

    // Where position `position` is, read or not; any stretch of up to kMirror bytes from it
    // continues at consecutive addresses.
    const std::uint8_t* At(std::int64_t position) const { return mBase + (position & (kSize - 1)); }

    // The position of `at`, an address given by At for a position in [before - kSize, before].
    std::int64_t PositionOf(const std::uint8_t* at, std::int64_t before) const {
        return before - static_cast<std::int64_t>((reinterpret_cast<std::uintptr_t>(At(before)) -
                                                   reinterpret_cast<std::uintptr_t>(at)) & (kSize - 1));
    }

private:
    std::uint8_t* mBase;             // kSize bytes, and the first kMirror of them again behind
    std::FILE* mStream = nullptr;
    std::int64_t mOffset = 0;        // the file offset of position 0
    std::int64_t mLength = 0;
    std::int64_t mFilled = 0;        // positions read so far
    bool mEnded = false;             // the file gave fewer bytes than asked for
};

} // namespace platform
