#include "platform/display/x11/IconImage.h"

#include "platform/resources/Resources.h"
#include "platform/user/UserIcons.h"
#include "platform/runtime/ByteOrder.h"

#include <cstdlib>

namespace platform::display::x11 {
namespace {

using byteorder::LE16;
using byteorder::LE32;

// Bytes of one row of `width` pixels at `bits` per pixel, padded to whole 32-bit words.
std::size_t RowBytes(int width, int bits) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
}

} // namespace

bool DecodeIconImage(const unsigned char* bytes, std::size_t size, IconImage* image) {
    if (!bytes || !image || size < 40) return false;
    const std::uint32_t headerSize = LE32(bytes);
    const auto width = static_cast<std::int32_t>(LE32(bytes + 4));
    // The height counts the colour bits and the mask together.
    const auto doubleHeight = static_cast<std::int32_t>(LE32(bytes + 8));
    const std::uint32_t bits = LE16(bytes + 14);
    const std::uint32_t compression = LE32(bytes + 16);
    std::uint32_t colours = LE32(bytes + 32);
    if (headerSize < 40 || headerSize > size || width <= 0 || width > 256 || doubleHeight <= 0 ||
        doubleHeight > 512 || compression != 0 || (bits != 1 && bits != 4 && bits != 8)) {
        return false;
    }
    const int height = doubleHeight / 2;
    if (colours == 0 || colours > (1u << bits)) colours = 1u << bits;
    const std::size_t tableAt = headerSize;
    const std::size_t pixelsAt = tableAt + 4u * colours;
    const std::size_t colourRow = RowBytes(width, static_cast<int>(bits));
    const std::size_t maskRow = RowBytes(width, 1);
    const std::size_t maskAt = pixelsAt + colourRow * static_cast<std::size_t>(height);
    if (maskAt + maskRow * static_cast<std::size_t>(height) > size) return false;

    image->width = width;
    image->height = height;
    image->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom row first.
        const std::size_t stored = static_cast<std::size_t>(height - 1 - y);
        const unsigned char* row = bytes + pixelsAt + stored * colourRow;
        const unsigned char* mask = bytes + maskAt + stored * maskRow;
        for (int x = 0; x < width; ++x) {
            const std::size_t bit = static_cast<std::size_t>(x) * bits;
            const unsigned shift = static_cast<unsigned>(8 - bits - bit % 8);
            const std::uint32_t index = (row[bit / 8] >> shift) & ((1u << bits) - 1);
            const bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
            std::uint32_t argb = 0;
            if (!transparent && index < colours) {
                const unsigned char* entry = bytes + tableAt + 4u * index;
                argb = 0xFF000000u | (std::uint32_t{entry[2]} << 16) | (std::uint32_t{entry[1]} << 8) |
                       entry[0];
            }
            image->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)] = argb;
        }
    }
    return true;
}

bool LoadIconImage(HICON icon, HINSTANCE instance, IconImage* image) {
    const unsigned char* group = nullptr;
    std::size_t size = 0;
    if (!IconGroupData(icon, &group, &size) || size < 6) return false;
    const std::size_t count = LE16(group + 4);
    // Entries: width, height, colours, reserved, planes, bits per pixel, bytes, id (14 bytes).
    int bestId = -1;
    long bestScore = 0;
    for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= size; ++i) {
        const unsigned char* entry = group + 6 + 14 * i;
        const int width = entry[0] ? entry[0] : 256;
        const long score = 1000L - 10L * std::abs(width - 32) + static_cast<long>(LE16(entry + 6));
        if (bestId < 0 || score > bestScore) {
            bestId = static_cast<int>(LE16(entry + 12));
            bestScore = score;
        }
    }
    if (bestId < 0) return false;
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCE(bestId), RT_ICON);
    if (!found) return false;
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    return DecodeIconImage(bytes, SizeofResource(instance, found), image);
}

} // namespace platform::display::x11
