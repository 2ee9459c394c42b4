#include "platform/runtime/ReadRing.h"

#include "platform/runtime/Crt.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// A read goes on to at least this much more of the file than asked for, so that the reading
// takes a system call per eighth of a megabyte, not one per block. Not more: what is read is
// decoded soon after, here or on another core, and a piece as large as a core's own cache
// has its first bytes pushed out by the rest (and by the writes) before they are decoded.
constexpr std::int64_t kPiece = 1 << 17;

} // namespace

void ReadRing::Start(std::FILE* stream, std::int64_t offset, std::int64_t length) {
    mStream = stream;
    mOffset = offset;
    mLength = std::max<std::int64_t>(length, 0);
    mFilled = 0;
    mEnded = false;
}

std::int64_t ReadRing::Fill(std::int64_t keep, std::int64_t end) {
    end = std::min(end, mLength);
    if (end <= mFilled || mEnded) return mFilled;
    const std::int64_t room = keep + kSize;
    if (end > room) return mFilled;
    const std::int64_t until = std::min({room, mLength, std::max(end, mFilled + kPiece)});
    // In two pieces where the ring wraps.
    const std::int64_t first = std::min(until - mFilled, kSize - (mFilled & (kSize - 1)));
    auto* at = const_cast<std::uint8_t*>(At(mFilled));
    const std::size_t wanted = static_cast<std::size_t>(until - mFilled);
    const std::size_t got = crt::ReadTwoAt(at, static_cast<std::size_t>(first), mBase,
                                           wanted - static_cast<std::size_t>(first), mStream, mOffset + mFilled);
    // What was read into the ring's first kMirror bytes goes again into the mirror behind it.
    const std::int64_t from = mFilled & (kSize - 1);
    const std::int64_t read = static_cast<std::int64_t>(got);
    if (from < kMirror) std::memcpy(mBase + kSize + from, mBase + from, static_cast<std::size_t>(std::min(read, kMirror - from)));
    if (read > first) std::memcpy(mBase + kSize, mBase, static_cast<std::size_t>(std::min(read - first, kMirror)));
    mFilled += read;
    if (got < wanted) mEnded = true;
    return mFilled;
}

} // namespace platform
