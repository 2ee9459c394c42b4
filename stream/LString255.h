// LString255: the program's short string, a length byte followed by at most 255 characters,
// kept in a 256-byte buffer inside the object. It never touches the heap, so strings are built
// freely on the stack while file names and listing lines are put together.
//
//     LString255 name("piano");
//     name.AppendChar('.');
//     name.Append("wav", 3);          // "piano.wav"
//     LString255 count(-12);          // "-12"
//
// Characters are bytes; no character set is implied. There is no terminating zero: only the
// length byte says where the characters end. Text that does not fit is cut silently.
// Lengths, counts and positions are 8-bit values; positions are 1-based.
#pragma once

#include <cstdint>

class LString255 {
public:
    // Orders two length-prefixed strings (each address points at its length byte).
    using CompareFunction = std::int16_t (*)(const std::uint8_t* a, const std::uint8_t* b,
                                             std::uint8_t lengthA, std::uint8_t lengthB);

    LString255();
    // The text up to its first zero byte, at most its first 255 bytes.
    explicit LString255(const char* text);
    // The value in signed decimal.
    explicit LString255(std::int32_t value);
    // A copy has its own buffer; it never points into the source.
    LString255(const LString255& other);
    LString255& operator=(const LString255& other);

    // Replaces the characters with the first `length` bytes of chars (cut at the capacity).
    LString255& Assign(const void* chars, std::uint8_t length);
    // Replaces the characters with value formatted as "%d".
    LString255& AssignNumber(std::int32_t value);
    // Adds one character when there is room; otherwise changes nothing.
    LString255& AppendChar(char c);
    // Adds the first `count` bytes of chars, as many as fit.
    void Append(const void* chars, std::uint8_t count);
    // Removes `count` characters from 1-based `position` on (position 0 counts as 1). A position
    // behind the last character removes nothing; a run past the end stops at the last character.
    void Remove(std::uint8_t position, std::uint8_t count);

    std::uint8_t Length() const { return mData[0]; }
    // The first character (not zero-terminated).
    const std::uint8_t* Chars() const { return mData + 1; }
    // The length byte, followed by the characters.
    const std::uint8_t* Data() const { return mData; }

private:
    void Init();

    std::uint8_t* mData;        // buffer in use: byte 0 the length, bytes 1..length the characters
    CompareFunction mCompare;   // comparison function; always CompareString255
    std::uint16_t mCapacity;    // buffer size in bytes, length byte included (256)
    std::uint8_t mBuffer[256];  // the inline buffer that mData points at
};

// Index of the first zero byte among the first 255 bytes of text, 255 when there is none.
// Never reads more than 255 bytes.
std::uint8_t StrLen255(const void* text);

// Copies source (length byte and characters) into destination, at most `size` bytes in all,
// and sets destination's length byte to the number of characters copied. So with size 255 a
// stored string keeps at most 254 characters. A size of 0 or less writes nothing.
// Returns destination.
std::uint8_t* CopyString255(const LString255& source, std::uint8_t* destination, std::int32_t size);

// Compares the characters of two length-prefixed strings as unsigned bytes, like a bounded
// text comparison (it stops after a zero byte common to both); on a tie over the shorter
// length the shorter string orders first. Returns -1, 0 or 1.
std::int16_t CompareString255(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t lengthA,
                              std::uint8_t lengthB);
