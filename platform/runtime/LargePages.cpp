#include "platform/runtime/LargePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

} // namespace

void* MapLargePages(std::size_t bytes) {
    if (bytes == 0 || bytes > kLargePage) return nullptr;
    // Twice as much address space, then all of it but one large page's worth on a large page's
    // boundary given back: the system can only put a large page there.
    void* const reserved = mmap(nullptr, 2 * kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(reserved);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
    if (aligned > start) munmap(reserved, aligned - start);
    const std::uintptr_t end = start + 2 * kLargePage;
    if (end > aligned + kLargePage) munmap(reinterpret_cast<void*>(aligned + kLargePage), end - aligned - kLargePage);
    auto* const memory = reinterpret_cast<void*>(aligned);
    // Only advice: without large pages (none configured, or none free) the memory is ordinary.
#if defined(MADV_HUGEPAGE)
    madvise(memory, kLargePage, MADV_HUGEPAGE);
#endif
#if defined(MADV_POPULATE_WRITE)
    madvise(memory, bytes, MADV_POPULATE_WRITE);
#endif
    return memory;
}

} // namespace platform
