// Device-independent bitmaps built in memory for drawing tests: a header, a colour table and
// rows padded to 4 bytes (as platform/image/Dib.h reads them), laid out as a bitmap resource is.
//
//     std::vector<unsigned char> dib = MakeDib(4, 2, 8, {{0x10, 0x20, 0x30, 0}},
//                                              [](int x, int y) { return 0; });
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/image/Dib.h"

#include <cstring>
#include <functional>
#include <vector>

// `index(x, y)` gives the value of the pixel x, y counted from the top. topDown writes a
// negative height (rows from the top) instead of the usual bottom row first.
inline std::vector<unsigned char> MakeDib(int width, int height, int bits, const std::vector<RGBQUAD>& colours,
                                          const std::function<unsigned(int x, int y)>& index,
                                          bool topDown = false) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = topDown ? -height : height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biClrUsed = static_cast<DWORD>(colours.size());
    const std::size_t stride = platform::image::DibRowBytes(width, bits);
    std::vector<unsigned char> bytes(sizeof header + 4 * colours.size() + stride * height, 0);
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!colours.empty()) std::memcpy(bytes.data() + sizeof header, colours.data(), 4 * colours.size());
    unsigned char* pixels = bytes.data() + sizeof header + 4 * colours.size();
    for (int y = 0; y < height; ++y) {
        unsigned char* row = pixels + stride * (topDown ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const unsigned value = index(x, y);
            if (bits == 8) {
                row[x] = static_cast<unsigned char>(value);
            } else if (bits == 4) {
                row[x / 2] = static_cast<unsigned char>(row[x / 2] | ((value & 0xF) << (x % 2 ? 0 : 4)));
            } else if (bits == 24) {
                row[3 * x] = static_cast<unsigned char>(value); // blue, green, red
                row[3 * x + 1] = static_cast<unsigned char>(value >> 8);
                row[3 * x + 2] = static_cast<unsigned char>(value >> 16);
            }
        }
    }
    return bytes;
}

// Draws the bitmap into `dc` at (x, y) the way the program draws its pictures: a bitmap for the
// context, a memory context around it, one plain copy, and everything released again.
inline bool DrawDib(HDC dc, int x, int y, const std::vector<unsigned char>& dib, UINT usage = DIB_RGB_COLORS) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof header);
    const std::size_t tableBytes = (usage == DIB_RGB_COLORS ? 4 : 2) * header.biClrUsed;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    HBITMAP bitmap = CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, dib.data() + header.biSize + tableBytes,
                                    info, usage);
    if (!bitmap) return false;
    HDC memory = CreateCompatibleDC(dc);
    const bool selected = SelectObject(memory, bitmap) != nullptr;
    const bool copied = BitBlt(dc, x, y, header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight,
                               memory, 0, 0, SRCCOPY) != FALSE;
    const bool released = DeleteDC(memory) && DeleteObject(bitmap);
    return selected && copied && released;
}
