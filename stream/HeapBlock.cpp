#include "stream/HeapBlock.h"

#include <cstring>
#include <new>

HeapBlock::HeapBlock(std::int32_t size) : mBytes(nullptr), mSize(0) {
    if (size < 0) throw static_cast<std::int32_t>(2);
    mBytes = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)];
    if (!mBytes) throw static_cast<std::int32_t>(2);
    mSize = size;
}

HeapBlock::~HeapBlock() {
    delete[] mBytes;
}

void ZeroBlock(void* address, std::int32_t size) {
    if (size > 0) std::memset(address, 0, static_cast<std::size_t>(size));
}
