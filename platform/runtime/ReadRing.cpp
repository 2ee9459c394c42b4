#include "platform/runtime/ReadRing.h"

#include "platform/runtime/Crt.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

namespace {

// A read goes on to at least this much more of the file than asked for, so that the reading
// takes a system call per quarter megabyte, not one per block.
constexpr std::int64_t kPiece = 1 << 18;

} // namespace

ReadRing::ReadRing() {
    const int memory = memfd_create("dudez-read-ahead", MFD_CLOEXEC);
    if (memory < 0) return;
    void* both = MAP_FAILED;
    if (ftruncate(memory, kSize) == 0) {
        // The addresses of both copies first, then the same memory into each half.
        both = mmap(nullptr, 2 * kSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (both != MAP_FAILED) {
            auto* base = static_cast<std::uint8_t*>(both);
            if (mmap(base, kSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, memory, 0) == MAP_FAILED ||
                mmap(base + kSize, kSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, memory, 0) == MAP_FAILED) {
                munmap(both, 2 * kSize);
                both = MAP_FAILED;
            }
        }
    }
    // The mappings hold the memory; the descriptor is not needed any longer.
    close(memory);
    if (both != MAP_FAILED) mBase = static_cast<std::uint8_t*>(both);
}

ReadRing::~ReadRing() {
    if (mBase) munmap(mBase, 2 * kSize);
}

void ReadRing::Start(std::FILE* stream, std::int64_t offset, std::int64_t length) {
    mStream = stream;
    mOffset = offset;
    mLength = std::max<std::int64_t>(length, 0);
    mFilled = 0;
    mEnded = false;
    // The pages this file's reading will come to, mapped now in one call rather than trapped
    // into one by one at the first read into each (on a virtual machine a trap can cost ten
    // microseconds and more). Only the first copy: the second is touched only where a block
    // goes on past the ring's end, and counted twice in the process's memory when mapped.
    const std::int64_t wanted = std::min(kSize, (mLength + kPiece - 1) / kPiece * kPiece);
#if defined(MADV_POPULATE_WRITE)
    if (wanted > mPopulated && madvise(mBase + mPopulated, static_cast<std::size_t>(wanted - mPopulated),
                                       MADV_POPULATE_WRITE) == 0)
        mPopulated = wanted;
#endif
}

std::int64_t ReadRing::Fill(std::int64_t keep, std::int64_t end) {
    end = std::min(end, mLength);
    if (end <= mFilled || mEnded) return mFilled;
    const std::int64_t room = keep + kSize;
    if (end > room) return mFilled;
    const std::int64_t until = std::min({room, mLength, std::max(end, mFilled + kPiece)});
    // Into the first copy only, in two pieces where the ring wraps: the second copy is then
    // touched only where a block read goes on past the ring's end.
    const std::int64_t first = std::min(until - mFilled, kSize - (mFilled & (kSize - 1)));
    auto* at = const_cast<std::uint8_t*>(At(mFilled));
    const std::size_t wanted = static_cast<std::size_t>(until - mFilled);
    const std::size_t got = crt::ReadTwoAt(at, static_cast<std::size_t>(first), mBase,
                                           wanted - static_cast<std::size_t>(first), mStream, mOffset + mFilled);
    mFilled += static_cast<std::int64_t>(got);
    if (got < wanted) mEnded = true;
    return mFilled;
}

} // namespace platform
