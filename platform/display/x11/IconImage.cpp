#include "platform/display/x11/IconImage.h"

#include "platform/image/Dib.h"
#include "platform/resources/Resources.h"
#include "platform/runtime/ByteOrder.h"
#include "platform/user/UserIcons.h"

#include <cstdint>
#include <cstdlib>

namespace platform::display::x11 {
namespace {

using byteorder::LE16;

// One icon image resource (header, colour table, colour bits, mask) as the window manager wants
// an icon: its width, its height, then its pixels as 0xAARRGGBB, rows from the top. Empty for
// anything it does not understand or that is cut short. Format 32 properties travel as longs on
// the client side, whatever their size.
std::vector<unsigned long> DecodeIconImage(const unsigned char* bytes, std::size_t size) {
    if (!bytes || size < 40) return {};
    image::DibHeader header = image::ReadDibHeader(bytes);
    // The height counts the colour bits and the mask together.
    const std::int32_t doubleHeight = header.height;
    if (header.size < 40 || header.size > size || header.width <= 0 || header.width > 256 || doubleHeight <= 0 ||
        doubleHeight > 512 || header.compression != 0 || (header.bits != 1 && header.bits != 4 && header.bits != 8)) {
        return {};
    }
    const int width = header.width;
    const int height = doubleHeight / 2;
    header.height = height;
    image::DibHeader maskHeader = header;
    maskHeader.bits = 1;
    const std::size_t colours = header.TableEntries();
    const std::size_t pixelsAt = header.PixelsOffset();
    const std::size_t maskAt = pixelsAt + header.PixelBytes();
    if (maskAt + maskHeader.PixelBytes() > size) return {};
    const image::DibRows colourRows(header, bytes + pixelsAt);
    const image::DibRows maskRows(maskHeader, bytes + maskAt);

    std::vector<unsigned long> data{static_cast<unsigned long>(width), static_cast<unsigned long>(height)};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = colourRows.Row(y);
        const std::uint8_t* mask = maskRows.Row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t index = colourRows.Index(row, x);
            const bool transparent = maskRows.Index(mask, x) != 0;
            std::uint32_t argb = 0;
            if (!transparent && index < colours)
                argb = 0xFF000000u | image::DibQuadColour(bytes + header.size + 4u * index);
            data.push_back(argb);
        }
    }
    return data;
}

} // namespace

std::vector<unsigned long> LoadIconImage(HICON icon, HINSTANCE instance) {
    const unsigned char* group = nullptr;
    std::size_t size = 0;
    if (!IconGroupData(icon, &group, &size) || size < 6) return {};
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
    if (bestId < 0) return {};
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCE(bestId), RT_ICON);
    if (!found) return {};
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    return DecodeIconImage(bytes, SizeofResource(instance, found));
}

} // namespace platform::display::x11
