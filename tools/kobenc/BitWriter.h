// BitWriter: appends fields to a byte string, most significant bit first, with no alignment,
// the order in which a block's packed data is read back.
//
//     BitWriter out;
//     out.Put(0x2, 4);          // a field may straddle byte boundaries
//     out.PutSigned(-1, 5);     // two's complement, low 5 bits
//     std::vector<std::uint8_t> bytes = out.Finish();   // last byte padded with zero bits
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kobenc {

class BitWriter {
public:
    // Appends the low `width` bits of value (width 0 to 32).
    void Put(std::uint32_t value, int width);
    // Appends the two's-complement form of value in `width` bits (1 to 32); the caller makes sure
    // value fits.
    void PutSigned(std::int32_t value, int width);

    std::size_t BitCount() const { return mBitCount; }
    // The bytes written so far; the unused low bits of the last byte are zero.
    std::vector<std::uint8_t> Finish() const { return mBytes; }

private:
    std::vector<std::uint8_t> mBytes; // whole and partial bytes written so far
    std::size_t mBitCount = 0;        // bits written; the last byte holds mBitCount % 8 of them
};

} // namespace kobenc
