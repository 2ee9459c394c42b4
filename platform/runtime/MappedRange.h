// MappedRange: bytes of an open file read in place, from the system's cache, without being
// copied into the program's memory first.
//
//     platform::MappedRange range(stream, offset, length);
//     if (range.Data()) use(range.Data()[i]);   // file byte offset + i
//     if (range.Faulted()) ...                   // some byte could not be had: it read as 0
//
// A file that someone shortens meanwhile, or a medium that fails to give a page, would end the
// process with SIGBUS at the first look at a byte that is gone. Instead, the page that could not
// be had reads as zeros from then on, and Faulted tells the reader so: what it read may be
// zeros where the file had something, and the rest is best read from the file again. This holds
// for every thread that reads the range. Any other SIGBUS goes to the handler installed before,
// or ends the process as ever.
//
// The range is mapped a piece at a time as the reader comes to it (Reach): the system's cache
// may hold the file in pieces of megabytes, each mapped whole at its first look, and a piece of
// the range holds no more than itself. Pages looked at stay part of the process's memory until
// they are forgotten (Forget), so a reader that goes through a long file forgets what lies
// behind it.
#pragma once

#include <cstdint>
#include <cstdio>

namespace platform {

class MappedRange {
public:
    // Data() is null when the range cannot be mapped: a pipe or a device, an empty range, too
    // many ranges at once (they are meant for a file or two).
    MappedRange(std::FILE* stream, std::int64_t offset, std::int64_t length);
    ~MappedRange();
    MappedRange(const MappedRange&) = delete;
    MappedRange& operator=(const MappedRange&) = delete;

    // File byte `offset` (the constructor's), or null. Only the bytes reached and not forgotten
    // may be read.
    const std::uint8_t* Data() const { return mData; }
    std::int64_t Length() const { return mData ? mLength : 0; }
    // Whether a byte of the range could not be had since it was mapped.
    bool Faulted() const;
    // Has the range's bytes before `end` (counted from Data()) mapped, those forgotten aside;
    // false when the system would not map them. Any thread may read them from then on.
    bool Reach(std::int64_t end);
    // Gives back the memory of the range's bytes before `end` (counted from Data()), in whole
    // pieces. They can no longer be read: a look at one ends the process.
    void Forget(std::int64_t end);

    // How much of the range is mapped at a time.
    static constexpr std::int64_t kPiece = 1 << 18;

private:
    std::FILE* mStream = nullptr;
    std::int64_t mMapOffset = 0;   // the file offset of the mapping's start
    void* mMap = nullptr;       // page-aligned start of the mapping, reserved whole
    std::size_t mMapLength = 0;
    std::int64_t mReached = 0;     // bytes of the mapping mapped so far, in whole pieces
    const std::uint8_t* mData = nullptr;
    std::int64_t mLength = 0;
    std::int64_t mForgotten = 0;   // bytes of the mapping given back so far
    int mSlot = -1;                // where the fault handler finds the range
};

} // namespace platform
