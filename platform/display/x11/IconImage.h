// The program's icon as a window manager wants it: one image of 0xAARRGGBB pixels, rows from the
// top. The icon group names its images by resource id; the image chosen is the one closest to
// 32 x 32 with the most colours, read from its device-independent bitmap (colour bits, then the
// one-bit transparency mask), 1, 4 or 8 bits per pixel with a colour table.
//
//     platform::display::x11::IconImage image;
//     if (platform::display::x11::LoadIconImage(icon, instance, &image)) Publish(image);
#pragma once

#include "platform/runtime/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::display::x11 {

struct IconImage {
    int width = 0;                     // pixels
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, rows from the top
};

// Decodes one icon image resource (header, colour table, colour bits, mask). False for anything
// it does not understand or that is cut short.
bool DecodeIconImage(const unsigned char* bytes, std::size_t size, IconImage* image);

// The image of the icon group behind `icon`, its images looked up in `instance`.
bool LoadIconImage(HICON icon, HINSTANCE instance, IconImage* image);

} // namespace platform::display::x11
