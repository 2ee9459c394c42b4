// WordBitReader: the block decoder's way through packed data, bit fields of 1 to 32 bits, most
// significant bit first, taken from a 64-bit buffer that is refilled eight bytes at a time.
//
//     WordBitReader reader(packed, length);
//     std::uint32_t codes = reader.GetBits(8);
//     std::int32_t residual = reader.GetSignedBits(width);
//
// It delivers the same bits as BitReader: the next n bits of the range, then zeros for ever.
// It never reads a byte outside the range, not even at its end: a refill takes eight bytes in
// one load only while eight are left, and the last few one at a time. A length of 0 touches no
// memory (start may then be null). It does not own the bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

class WordBitReader {
public:
    WordBitReader(const std::uint8_t* start, std::int32_t length)
        : mNext(start), mEnd(start + length) {}

    // The next n bits (1 to 32) as an unsigned number.
    std::uint32_t GetBits(int n) {
        if (mCount < n) Refill();
        const auto value = static_cast<std::uint32_t>(mBits >> (64 - n));
        Consume(n);
        return value;
    }

    // The next n bits (1 to 32) as a two's-complement number, sign-extended: the arithmetic
    // shift of the whole buffer copies the field's first bit into every higher bit.
    std::int32_t GetSignedBits(int n) {
        if (mCount < n) Refill();
        const auto value = static_cast<std::int32_t>(static_cast<std::int64_t>(mBits) >> (64 - n));
        Consume(n);
        return value;
    }

private:
    // Tops the buffer up to at least 57 bits, or with every byte left in the range.
    void Refill() {
        if (mEnd - mNext >= 8) {
            // Eight bytes at once, big-endian. Of the last one loaded only the bits that fit
            // are kept; they reappear in the same place when that byte is loaded for real, and
            // OR-ing a bit with itself changes nothing.
            std::uint64_t word;
            std::memcpy(&word, mNext, sizeof word);
            if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
            mBits |= word >> mCount;
            const int bytes = (63 - mCount) >> 3;
            mNext += bytes;
            mCount += bytes * 8;
        } else {
            while (mCount <= 56 && mNext != mEnd) {
                mBits |= std::uint64_t{*mNext++} << (56 - mCount);
                mCount += 8;
            }
        }
    }

    // Past the end of the range mCount goes below zero; the buffer is all zeros by then, and
    // a refill has nothing left to add.
    void Consume(int n) {
        mBits <<= n;
        mCount -= n;
    }

    // WATCHOUT: the bits to deliver are the top mCount bits of mBits, then the bytes from mNext
    // to mEnd, then zeros. Below the top mCount bits, mBits holds either zeros or the bits of
    // the bytes from mNext on in the places they will take, never anything else: a refill ORs
    // into those places, and the range's end leaves nothing but zeros behind it.
    const std::uint8_t* mNext; // next byte of the range not yet counted in mCount
    const std::uint8_t* mEnd;  // end of the range
    std::uint64_t mBits = 0;   // bits to deliver, first at the top
    int mCount = 0;            // bits at the top of mBits still to deliver (at most 63)
};
