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
// Pages looked at stay part of the process's memory until they are forgotten (Forget), so a
// reader that goes through a long file forgets what lies behind it.
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

    // File byte `offset` (the constructor's), or null.
    const std::uint8_t* Data() const { return mData; }
    std::int64_t Length() const { return mData ? mLength : 0; }
    // Whether a byte of the range could not be had since it was mapped.
    bool Faulted() const;
    // Gives back the memory of the range's bytes before `end` (counted from Data()). They can
    // still be read: a look at one reads it from the system's cache again.
    void Forget(std::int64_t end);

private:
    void* mMap = nullptr;       // page-aligned start of the mapping
    std::size_t mMapLength = 0;
    const std::uint8_t* mData = nullptr;
    std::int64_t mLength = 0;
    std::int64_t mForgotten = 0;   // bytes of the mapping given back so far
    int mSlot = -1;                // where the fault handler finds the range
};

} // namespace platform
