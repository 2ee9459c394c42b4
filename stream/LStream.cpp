#include "stream/LStream.h"
#include "stream/ErrorCode.h"

#include <cstdio>

LStream::LStream() : mMarker(0), mLength(0) {}

LStream::~LStream() = default;

void LStream::SetMarker(std::int32_t offset, std::int32_t origin) {
    std::printf("Enter LStream::SetMarker\n");
    // Worked out in 64 bits, so that no offset can wrap around before it is clamped.
    long newMarker;
    switch (origin) {
    case 0: newMarker = offset; break;
    case 1: newMarker = static_cast<long>(mMarker) + offset; break;
    case 2: newMarker = static_cast<long>(GetLength()) - offset; break;
    default: newMarker = mMarker; break;
    }
    // WATCHOUT: every GetLength here is a virtual call that may print its own trace line; the
    // number and order of the calls is part of the trace.
    const long shownLength = GetLength();
    std::printf("newMarker=%ld, GetLength()=%ld\n", newMarker, shownLength);
    if (newMarker < 0)
        newMarker = 0;
    else if (newMarker > GetLength())
        newMarker = GetLength();
    mMarker = static_cast<std::int32_t>(newMarker);
    std::printf("Leave LStream::SetMarker\n");
}

std::int32_t LStream::GetMarker() const {
    return mMarker;
}

void LStream::SetLength(std::int32_t length) {
    const std::int32_t old = GetLength();
    mLength = length;
    if (old > length) SetMarker(GetMarker(), 0);
}

std::int32_t LStream::GetLength() const {
    std::printf("Enter/Leave LStream::GetLength; mLength=%ld\n", static_cast<long>(mLength));
    return mLength;
}

std::int32_t LStream::PutBytes(const void*, std::int32_t& count) {
    count = 0;
    return 5;
}

std::int32_t LStream::GetBytes(void*, std::int32_t& count) {
    count = 0;
    return 4;
}

std::int32_t LStream::GetBytesUpTo(void* destination, std::int32_t count) {
    GetBytes(destination, count);
    return count;
}

void LStream::PutBlock(const void* source, std::int32_t count) {
    const std::int32_t code = PutBytes(source, count);
    if (code != 0) throw ErrorCode{code};
}

void LStream::GetBlock(void* destination, std::int32_t count) {
    const std::int32_t code = GetBytes(destination, count);
    if (code != 0) throw ErrorCode{code};
}
