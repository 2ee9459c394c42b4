// Bitmaps made from device-independent bitmaps: every pixel becomes its colour, 0x00RRGGBB.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Objects.h"

#include <cstdlib>
#include <cstring>

using namespace platform::gdi;

namespace {

// The largest bitmap made, in pixels: beyond it a header is taken for damage.
constexpr std::int64_t kMostPixels = 1 << 26;

// Headers and tables are read byte-wise: resource data need not be aligned.
BITMAPINFOHEADER ReadHeader(const void* at) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, at, sizeof header);
    return header;
}

std::uint32_t Colour(BYTE red, BYTE green, BYTE blue) {
    return (static_cast<std::uint32_t>(red) << 16) | (static_cast<std::uint32_t>(green) << 8) | blue;
}

bool Drawable(const BITMAPINFOHEADER& header) {
    // The header and its later, longer forms (up to 124 bytes); the colour table follows.
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > 124) return false;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight < -0x7FFFFFFF) return false;
    const std::int64_t pixels = static_cast<std::int64_t>(header.biWidth) * std::abs(header.biHeight);
    return pixels <= kMostPixels && header.biCompression == BI_RGB;
}

// The colours of a colour table: RGB values, or indices into the context's palette.
void ColourTable(const BITMAPINFO* info, const BITMAPINFOHEADER& header, UINT usage,
                 const Palette& palette, std::vector<std::uint32_t>* colours) {
    const std::size_t possible = std::size_t{1} << header.biBitCount;
    const std::size_t count =
        header.biClrUsed != 0 && header.biClrUsed < possible ? header.biClrUsed : possible;
    const auto* table = reinterpret_cast<const unsigned char*>(info) + header.biSize;
    colours->assign(possible, 0); // indices past the table are black
    for (std::size_t i = 0; i < count; ++i) {
        if (usage == DIB_RGB_COLORS) {
            const unsigned char* quad = table + 4 * i; // blue, green, red, reserved
            (*colours)[i] = Colour(quad[2], quad[1], quad[0]);
        } else {
            WORD index;
            std::memcpy(&index, table + 2 * i, sizeof index);
            if (index < palette.entries.size()) {
                const PALETTEENTRY& entry = palette.entries[index];
                (*colours)[i] = Colour(entry.peRed, entry.peGreen, entry.peBlue);
            }
        }
    }
}

// Fills `bitmap` from the pixels, as `info` describes them. False when they cannot be read.
bool Decode(platform::SurfaceView& bitmap, const void* pixels, const BITMAPINFO* info, UINT usage,
            const Palette& palette) {
    const BITMAPINFOHEADER header = ReadHeader(info);
    if (!Drawable(header)) return false;
    const int bits = header.biBitCount;
    std::vector<std::uint32_t> colours;
    if (bits == 1 || bits == 4 || bits == 8) {
        ColourTable(info, header, usage, palette, &colours);
    } else if (bits != 24 && bits != 32) {
        return false;
    }
    const int width = header.biWidth;
    const int height = std::abs(header.biHeight);
    const bool bottomUp = header.biHeight > 0;
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    const auto* bytes = static_cast<const unsigned char*>(pixels);
    for (int row = 0; row < height && row < bitmap.height; ++row) {
        // Row `row` from the top of the picture.
        const unsigned char* line = bytes + stride * static_cast<std::size_t>(bottomUp ? height - 1 - row : row);
        std::uint32_t* out = bitmap.pixels.data() + static_cast<std::size_t>(row) * bitmap.width;
        for (int x = 0; x < width && x < bitmap.width; ++x) {
            switch (bits) {
            case 1: out[x] = colours[(line[x / 8] >> (7 - x % 8)) & 1]; break;
            case 4: out[x] = colours[(line[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F]; break;
            case 8: out[x] = colours[line[x]]; break;
            case 24: out[x] = Colour(line[3 * x + 2], line[3 * x + 1], line[3 * x]); break;
            default: out[x] = Colour(line[4 * x + 2], line[4 * x + 1], line[4 * x]); break;
            }
        }
    }
    return true;
}

} // namespace

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* headerAt, DWORD init, const void* pixels,
                       const BITMAPINFO* info, UINT usage) {
    if (!headerAt || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) return nullptr;
    const BITMAPINFOHEADER header = ReadHeader(headerAt);
    if (!Drawable(header)) return nullptr;
    const int height = std::abs(header.biHeight);
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->picture = platform::SurfaceView{header.biWidth, height, std::vector<std::uint32_t>(
                          static_cast<std::size_t>(header.biWidth) * static_cast<std::size_t>(height), 0)};

    GdiLock lock(GdiMutex());
    if ((init & CBM_INIT) && pixels && info) {
        // Palette indices refer to the palette of the context the bitmap is made for.
        const Context* context = FindContext(dc);
        std::shared_ptr<const Palette> palette =
            context ? context->paletteData : FindObject(DefaultPalette(), Kind::Palette)->palette;
        if (!Decode(bitmap->picture, pixels, info, usage, *palette)) return nullptr;
    }
    return As<HBITMAP>(AddObject(Object{Kind::Bitmap, false, nullptr, std::move(bitmap), nullptr}));
}
