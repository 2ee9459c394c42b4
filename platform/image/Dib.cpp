#include "platform/image/Dib.h"

#include "platform/runtime/ByteOrder.h"

namespace platform::image {

std::size_t DibRowBytes(int width, int bits) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
}

std::size_t DibHeader::TableEntries() const {
    if (bits > 8) return 0;
    const std::size_t possible = std::size_t{1} << bits;
    return coloursUsed != 0 && coloursUsed < possible ? coloursUsed : possible;
}

std::size_t DibHeader::PixelBytes() const {
    return DibRowBytes(width, bits) * static_cast<std::size_t>(Rows());
}

DibHeader ReadDibHeader(const void* at) {
    const auto* bytes = static_cast<const std::uint8_t*>(at);
    DibHeader header;
    header.size = byteorder::LE32(bytes);
    header.width = static_cast<std::int32_t>(byteorder::LE32(bytes + 4));
    header.height = static_cast<std::int32_t>(byteorder::LE32(bytes + 8));
    header.bits = byteorder::LE16(bytes + 14);
    header.compression = byteorder::LE32(bytes + 16);
    header.coloursUsed = byteorder::LE32(bytes + 32);
    return header;
}

DibRows::DibRows(const DibHeader& header, const void* pixels)
    : mPixels(static_cast<const std::uint8_t*>(pixels)), mRowBytes(DibRowBytes(header.width, header.bits)),
      mRows(header.Rows()), mBottomUp(header.height > 0), mBits(header.bits) {}

const std::uint8_t* DibRows::Row(int y) const {
    return mPixels + mRowBytes * static_cast<std::size_t>(mBottomUp ? mRows - 1 - y : y);
}

std::uint32_t DibRows::Index(const std::uint8_t* row, int x) const {
    const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(mBits);
    const unsigned shift = static_cast<unsigned>(8 - mBits - static_cast<int>(bit % 8));
    return (std::uint32_t{row[bit / 8]} >> shift) & ((1u << mBits) - 1);
}

std::uint32_t DibRows::Direct(const std::uint8_t* row, int x) const {
    return DibQuadColour(row + static_cast<std::size_t>(x) * static_cast<std::size_t>(mBits / 8));
}

std::uint32_t DibQuadColour(const void* quad) {
    const auto* bytes = static_cast<const std::uint8_t*>(quad);
    return (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[1]} << 8) | bytes[0];
}

} // namespace platform::image
