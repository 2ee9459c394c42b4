// Test bytes that end right in front of an inaccessible page, so that reading or writing even
// one byte past their end crashes the test instead of passing by luck.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class GuardedBuffer {
public:
    // size bytes, all zero; with size 0, data() points straight at the guard page.
    explicit GuardedBuffer(std::size_t size);
    explicit GuardedBuffer(const std::vector<std::uint8_t>& bytes);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    std::uint8_t* data() const { return mData; }
    std::size_t size() const { return mSize; }
    std::vector<std::uint8_t> Bytes() const { return {mData, mData + mSize}; }

private:
    void* mMapping;          // whole mapping: data pages, then one guard page
    std::size_t mMappingSize; // bytes in the mapping
    std::uint8_t* mData;     // first of the caller's bytes; the last one touches the guard page
    std::size_t mSize;       // number of the caller's bytes
};
