#include "stream/HeapBlock.h"

#include <cstring>
#include <new>

#include <sys/mman.h>

namespace {

// Blocks from this size on are mapped in one call as they are made, not a page at a time as
// they are first touched: each first touch is a trap into the system, which on a virtual
// machine can cost ten microseconds and more, and every byte of these blocks is soon used.
constexpr std::int32_t kMapAtOnce = 1 << 17;

void MapAtOnce(std::uint8_t* bytes, std::int32_t size) {
#if defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t kPage = 4096;
    const auto first = (reinterpret_cast<std::uintptr_t>(bytes) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(bytes) + static_cast<std::uintptr_t>(size)) & ~(kPage - 1);
    // Only a hint: a system without it maps the pages on first touch, as ever.
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)bytes;
    (void)size;
#endif
}

} // namespace

HeapBlock::HeapBlock(std::int32_t size) : mBytes(nullptr), mSize(0) {
    if (size < 0) throw static_cast<std::int32_t>(2);
    mBytes = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)];
    if (!mBytes) throw static_cast<std::int32_t>(2);
    mSize = size;
    if (size >= kMapAtOnce) MapAtOnce(mBytes, size);
}

HeapBlock::~HeapBlock() {
    delete[] mBytes;
}

void ZeroBlock(void* address, std::int32_t size) {
    if (size > 0) std::memset(address, 0, static_cast<std::size_t>(size));
}
