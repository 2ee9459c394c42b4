// BitReader: reads the packed data of one block as bit fields of 0 to 32 bits, most significant
// bit first.
//
// The block decoder keeps one on its own stack for the length of a block:
//
//     BitReader reader;
//     reader.Init(packed, length);
//     std::uint32_t code = reader.GetBits(4);
//     std::int32_t residual = reader.GetSignedBits(width);
//
// It never fails and never reads outside its range: once the range is used up, every further
// bit reads as 0. It does not own the bytes; the caller keeps them alive and unchanged while it
// reads. Bytes are fetched one at a time; there is no wider bit buffer.
#pragma once

#include <cstdint>

struct BitReader {
    // The fields tie together like this: the bits still to deliver are the low mBitsLeft bits of
    // mByte, then the bytes from mNext up to the end of the range (mStart + mSize), then zeros
    // for ever. mNext only moves forward and stops at the end.
    const std::uint8_t* mStart; // first byte of the range
    std::int32_t mSize;         // number of bytes in the range
    const std::uint8_t* mNext;  // next byte to load into mByte; equals the end once all are loaded
    std::uint8_t mByte;         // current byte; its unconsumed bits are the low mBitsLeft bits
    // Unconsumed bits in mByte, 1 to 8 between calls.
    // WATCHOUT: a byte whose last bit is consumed is replaced at once (an eager load), so a read
    // that ends on a byte boundary has already loaded the following byte when it returns.
    std::int32_t mBitsLeft;

    // Opens the reader over length bytes from start, every one of which must be readable. A
    // length of 0 touches no memory (start may then be null).
    BitReader& Init(const std::uint8_t* start, std::int32_t length) {
        mStart = start;
        mNext = start;
        mSize = length;
        mBitsLeft = 8;
        if (length == 0)
            mByte = 0;
        else
            mByte = *mNext++;
        return *this;
    }

    // The next n bits (0 to 32) as an unsigned number, the first bit read being the most
    // significant of the n. GetBits(0) gives 0 and consumes nothing.
    std::uint32_t GetBits(std::int32_t n) {
        std::uint32_t value;
        if (n <= mBitsLeft) {
            // The field lies inside the current byte.
            mBitsLeft -= n;
            value = static_cast<std::uint32_t>(mByte) >> mBitsLeft;
            if (mBitsLeft == 0)
                Load();
        } else {
            // The field runs past the current byte. Start from all of mByte: its consumed upper
            // bits are shifted out at the top or masked off below.
            const std::int32_t beyond = n - mBitsLeft;
            value = mByte;
            // Whole bytes go straight from the range into the value, without passing through
            // mByte; past the end of the range they contribute zeros.
            for (std::int32_t whole = beyond / 8; whole > 0; --whole) {
                value <<= 8;
                if (mNext != End())
                    value |= *mNext++;
            }
            // The byte after the whole ones is loaded in any case: it holds the field's last
            // bits, or, when the field ends on a byte boundary, it is the eager load.
            Load();
            // The remaining bits are the top bits of that freshly loaded byte.
            const std::int32_t rest = beyond % 8;
            if (rest > 0) {
                value = (value << rest) | (static_cast<std::uint32_t>(mByte) >> (8 - rest));
                mBitsLeft = 8 - rest;
            }
        }
        if (n < 32)
            value &= (std::uint32_t{1} << n) - 1u;
        return value;
    }

    // The next n bits (0 to 32) as a two's-complement number, sign-extended to 32 bits.
    // GetSignedBits(0) gives 0.
    std::int32_t GetSignedBits(std::int32_t n) {
        const std::uint32_t value = GetBits(n);
        if (n == 0)
            return 0;
        // Shifting the field's sign bit up to bit 31 and back copies it into every higher bit.
        const std::int32_t unused = 32 - n;
        return static_cast<std::int32_t>(value << unused) >> unused;
    }

private:
    const std::uint8_t* End() const { return mStart + mSize; }

    // Makes the next byte of the range current, or 0 once the range is used up.
    void Load() {
        mBitsLeft = 8;
        if (mNext == End()) {
            mByte = 0;
        } else {
            mByte = *mNext;
            ++mNext;
        }
    }
};
