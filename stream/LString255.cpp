#include "stream/LString255.h"

#include <cstdio>
#include <cstring>

LString255::LString255() {
    Init();
}

LString255::LString255(const char* text) {
    Init();
    Assign(text, StrLen255(text));
}

LString255::LString255(std::int32_t value) {
    Init();
    AssignNumber(value);
}

LString255::LString255(const LString255& other) {
    Init();
    *this = other;
}

LString255& LString255::operator=(const LString255& other) {
    if (this != &other) {
        mCompare = other.mCompare;
        Assign(other.Chars(), other.Length());
    }
    return *this;
}

void LString255::Init() {
    mData = mBuffer;
    mCompare = CompareString255;
    mCapacity = sizeof mBuffer;
    mBuffer[0] = 0;
}

LString255& LString255::Assign(const void* chars, std::uint8_t length) {
    int n = length;
    if (n > mCapacity - 1) n = mCapacity - 1;
    // memmove: the characters may come from this string itself.
    if (n > 0) std::memmove(mData + 1, chars, static_cast<std::size_t>(n));
    mData[0] = static_cast<std::uint8_t>(n);
    return *this;
}

LString255& LString255::AssignNumber(std::int32_t value) {
    char scratch[256];
    int written = std::snprintf(scratch, sizeof scratch, "%d", static_cast<int>(value));
    if (written < 0) written = 0;
    return Assign(scratch, static_cast<std::uint8_t>(written));
}

LString255& LString255::AppendChar(char c) {
    if (Length() < mCapacity - 1) {
        mData[0] = static_cast<std::uint8_t>(Length() + 1);
        mData[Length()] = static_cast<std::uint8_t>(c);
    }
    return *this;
}

void LString255::Append(const void* chars, std::uint8_t count) {
    int n = count;
    if (Length() + n + 1 > mCapacity) n = mCapacity - Length() - 1;
    if (n <= 0) return;
    std::memmove(mData + 1 + Length(), chars, static_cast<std::size_t>(n));
    mData[0] = static_cast<std::uint8_t>(Length() + n);
}

void LString255::Remove(std::uint8_t position, std::uint8_t count) {
    const int length = Length();
    int first = position;
    int n = count;
    if (first > length) return;
    if (first == 0) first = 1;
    if (first + n - 1 > length) n = length - first + 1;
    if (n <= 0) return;
    // Close the gap: the characters behind the removed run move down.
    const int behind = length - (first + n - 1);
    if (behind > 0)
        std::memmove(mData + first, mData + first + n, static_cast<std::size_t>(behind));
    mData[0] = static_cast<std::uint8_t>(length - n);
}

std::uint8_t StrLen255(const void* text) {
    const auto* bytes = static_cast<const std::uint8_t*>(text);
    std::uint8_t n = 0;
    while (n < 255 && bytes[n] != 0) ++n;
    return n;
}

std::uint8_t* CopyString255(const LString255& source, std::uint8_t* destination, std::int32_t size) {
    std::int32_t n = source.Length() + 1;
    if (n > size) n = size;
    // WATCHOUT: with no room even for the length byte there is nothing we may write.
    if (n <= 0) return destination;
    std::memmove(destination, source.Data(), static_cast<std::size_t>(n));
    destination[0] = static_cast<std::uint8_t>(n - 1);
    return destination;
}

std::int16_t CompareString255(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t lengthA,
                              std::uint8_t lengthB) {
    const int common = lengthA < lengthB ? lengthA : lengthB;
    for (int i = 1; i <= common; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (a[i] == 0) break; // both end here, as a text comparison would
    }
    if (lengthA == lengthB) return 0;
    return lengthA < lengthB ? -1 : 1;
}
