#include "convert/EntryMemory.h"

#include "convert/PlacedFrames.h"
#include "platform/runtime/LargePages.h"
#include "platform/runtime/ReadRing.h"

#include <atomic>

namespace {

// The frames' ring behind the read ring, on a cache line of its own.
constexpr std::int64_t kFramesOffset = (platform::ReadRing::kBytes + 63) / 64 * 64;
constexpr std::int64_t kBytes = kFramesOffset + PlacedFrames::kRingBytes;
static_assert(kBytes <= std::int64_t{2} << 20, "one large page");

// The block, while no entry has it; made at the first large entry, never given back to the
// system (it is in use until the last large entry ends).
std::atomic<std::uint8_t*> gSpare{nullptr};
std::atomic<bool> gMade{false};

} // namespace

EntryMemory::EntryMemory(bool large) {
    if (!large) return;
    mBlock = gSpare.exchange(nullptr);
    if (mBlock) return;
    // Made once: an entry that finds the block taken does without.
    if (gMade.exchange(true)) return;
    mBlock = static_cast<std::uint8_t*>(platform::MapLargePages(static_cast<std::size_t>(kBytes)));
    if (!mBlock) gMade.store(false);
}

EntryMemory::~EntryMemory() {
    if (mBlock) gSpare.store(mBlock);
}

std::uint8_t* EntryMemory::Frames() const {
    return mBlock ? mBlock + kFramesOffset : nullptr;
}
