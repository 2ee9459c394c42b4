#include "GuardedBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

GuardedBuffer::GuardedBuffer(std::size_t size) : mSize(size) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t dataPages = (size + page - 1) / page;
    mMappingSize = (dataPages + 1) * page;
    mMapping = mmap(nullptr, mMappingSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mMapping == MAP_FAILED)
        throw std::runtime_error("mmap failed");
    auto* guard = static_cast<std::uint8_t*>(mMapping) + dataPages * page;
    if (mprotect(guard, page, PROT_NONE) != 0)
        throw std::runtime_error("mprotect failed");
    mData = guard - size;
}

GuardedBuffer::GuardedBuffer(const std::vector<std::uint8_t>& bytes) : GuardedBuffer(bytes.size()) {
    if (!bytes.empty())
        std::memcpy(mData, bytes.data(), bytes.size());
}

GuardedBuffer::~GuardedBuffer() { munmap(mMapping, mMappingSize); }
