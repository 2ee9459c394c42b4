#include "stream/HeapBlock.h"
#include "stream/ErrorCode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

HeapBlock::HeapBlock(std::int32_t size) : mBytes(nullptr), mSize(0) {
    if (size < 0) throw ErrorCode{kOutOfMemory};
    mBytes = new (std::align_val_t{kAlignment}, std::nothrow) std::uint8_t[static_cast<std::size_t>(size)];
    if (!mBytes) throw ErrorCode{kOutOfMemory};
    mSize = size;
}

HeapBlock::~HeapBlock() {
    ::operator delete[](mBytes, std::align_val_t{kAlignment});
}

void ZeroBlock(void* address, std::int32_t size) {
    if (size > 0) std::memset(address, 0, static_cast<std::size_t>(size));
}

void MapAtOnce(void* address, std::int32_t size) {
#if defined(MADV_POPULATE_WRITE)
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(address);
    const auto first = (start + page - 1) & ~(page - 1);
    const auto end = (start + static_cast<std::uintptr_t>(std::max(size, 0))) & ~(page - 1);
    // Only a hint: a system without it maps the pages on first touch, as ever.
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)address;
    (void)size;
#endif
}
