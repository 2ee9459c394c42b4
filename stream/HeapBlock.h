// HeapBlock: the owner of one heap block of bytes whose size is fixed when it is made; the block
// is released with the owner. The cached file stream's cache, the audio file's frame buffer
// and the converter's block buffers are HeapBlocks.
//
//     HeapBlock buffer(4096);               // throws kOutOfMemory when the block cannot be had
//     ZeroBlock(buffer.Bytes(), buffer.Size());
//
// The contents of a new block are undefined. A HeapBlock is not copied.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

class HeapBlock {
public:
    // Allocates size bytes; a negative size or a failed allocation throws kOutOfMemory.
    explicit HeapBlock(std::int32_t size);
    ~HeapBlock();
    // Its bytes start on a cache line: frames stored 64 bytes at a time fill whole lines, where
    // from malloc's 16 bytes into a line each store touched two.
    static constexpr std::size_t kAlignment = 64;
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    std::uint8_t* Bytes() { return mBytes; }
    const std::uint8_t* Bytes() const { return mBytes; }
    std::int32_t Size() const { return mSize; }

private:
    std::uint8_t* mBytes; // the block, mSize bytes
    std::int32_t mSize;   // size of the block in bytes
};

// Sets size bytes from address on to 0; a size of 0 or less sets nothing.
void ZeroBlock(void* address, std::int32_t size);

// Asks the system to map the whole pages of size bytes from address on now, in one call, rather
// than one by one as they are first touched: each first touch is a trap into the system, which
// on a virtual machine can cost ten microseconds and more. For memory that is about to be used
// in full. Only a hint; the contents stay as they were.
void MapAtOnce(void* address, std::int32_t size);

// One block kept between its users, the largest given back: a batch of many files then neither
// allocates nor has the system map pages again for each. Any thread may take and give back.
//
//     static SpareBlock spare;
//     std::unique_ptr<HeapBlock> block = spare.Take(size);   // null when none as large is kept
//     ...
//     spare.GiveBack(std::move(block));
class SpareBlock {
public:
    std::unique_ptr<HeapBlock> Take(std::int32_t size) {
        std::lock_guard lock(mMutex);
        if (mBlock && mBlock->Size() >= size) return std::move(mBlock);
        return nullptr;
    }
    void GiveBack(std::unique_ptr<HeapBlock> block) {
        if (!block) return;
        std::lock_guard lock(mMutex);
        if (!mBlock || mBlock->Size() < block->Size()) mBlock = std::move(block);
    }

private:
    std::mutex mMutex;
    std::unique_ptr<HeapBlock> mBlock;
};
