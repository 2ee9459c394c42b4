#include "tools/kobenc/BitWriter.h"

namespace kobenc {

void BitWriter::Put(std::uint32_t value, int width) {
    // One bit at a time: the packer is not on any hot path and this cannot get the order wrong.
    for (int bit = width - 1; bit >= 0; --bit) {
        if (mBitCount % 8 == 0) mBytes.push_back(0);
        if ((value >> bit) & 1u) {
            mBytes.back() = static_cast<std::uint8_t>(mBytes.back() | (0x80u >> (mBitCount % 8)));
        }
        ++mBitCount;
    }
}

void BitWriter::PutSigned(std::int32_t value, int width) {
    Put(static_cast<std::uint32_t>(value), width);
}

} // namespace kobenc
