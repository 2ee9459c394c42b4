// Device-independent bitmaps read where they are stored: a header, a colour table and rows of
// pixels, each row padded to whole 32-bit words, the bottom row first unless the height is
// negative. The bitmap resources (the pictures), the icons' images and the bitmaps the program
// makes are all read through these; nothing here allocates, and nothing checks that the bytes
// are all there: the caller knows how many it has (DibHeader::PixelsOffset, PixelBytes).
//
//     const DibHeader header = ReadDibHeader(bytes);           // 40 bytes at least
//     const DibRows rows(header, bytes + header.PixelsOffset());
//     const std::uint32_t index = rows.Index(rows.Row(y), x);   // 1, 4 or 8 bits per pixel
//     const std::uint32_t rgb = DibQuadColour(bytes + header.size + 4 * index);
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::image {

// Bytes of one stored row of `width` pixels of `bits` bits each.
std::size_t DibRowBytes(int width, int bits);

// The header's fields that say where the pixels are and how to read them. Headers are read byte
// by byte: resource data need not be aligned.
struct DibHeader {
    std::uint32_t size = 0;         // bytes of the header (40, or a later, longer form)
    std::int32_t width = 0;         // pixels
    std::int32_t height = 0;        // rows; negative when they are stored from the top
    std::uint16_t bits = 0;         // bits per pixel: 1, 4, 8, 24 or 32
    std::uint32_t compression = 0;  // 0: none, the only kind read here
    std::uint32_t coloursUsed = 0;  // colour-table entries as stored; 0: all 2^bits

    int Rows() const { return height < 0 ? -height : height; }
    // The entries of the colour table, as for 1, 4 and 8 bits: coloursUsed when it is 1 to 2^bits,
    // else 2^bits. None for more bits.
    std::size_t TableEntries() const;
    // Where the pixels start after a colour table of four bytes an entry.
    std::size_t PixelsOffset() const { return size + 4 * TableEntries(); }
    // Bytes of all stored rows.
    std::size_t PixelBytes() const;
};

// The header at `at`, which must hold at least 40 bytes.
DibHeader ReadDibHeader(const void* at);

// The rows of a bitmap whose pixels start at `pixels`.
class DibRows {
public:
    DibRows(const DibHeader& header, const void* pixels);
    // The stored row that shows row y of the picture, counted from its top.
    const std::uint8_t* Row(int y) const;
    // Pixel x of a row of 1, 4 or 8 bits per pixel: its colour-table index. The first pixel is
    // in the high bits of a byte.
    std::uint32_t Index(const std::uint8_t* row, int x) const;
    // Pixel x of a row of 24 or 32 bits per pixel (blue, green, red[, unused]): 0xRRGGBB.
    std::uint32_t Direct(const std::uint8_t* row, int x) const;

private:
    const std::uint8_t* mPixels;
    std::size_t mRowBytes;
    int mRows;
    bool mBottomUp;
    int mBits;
};

// A colour-table entry (blue, green, red, unused) as 0xRRGGBB.
std::uint32_t DibQuadColour(const void* quad);

} // namespace platform::image
