// Drawing objects behind their handles (palettes, bitmaps and contexts, in one table), bitmaps
// made from device-independent bitmaps, and the bit-block copy.
//
// The table is guarded by the drawing lock. WATCHOUT: code holding it may take the model lock
// (to reach a window's surface), never the other way round; nothing else is locked or called
// while it is held.
#include "platform/gdi/Gdi.h"
#include "platform/user/DisplayDriver.h"
#include "platform/image/Dib.h"
#include "platform/runtime/ByteOrder.h"
#include "platform/runtime/HandleTable.h"
#include "platform/runtime/NeverDestroyed.h"
#include "platform/user/UserQueue.h"
#include "platform/user/Window.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <variant>
#include <vector>

using platform::SurfaceView;
using platform::image::DibHeader;

namespace {

using Palette = std::vector<PALETTEENTRY>;

struct Bitmap {
    SurfaceView picture;
    HDC selectedInto = nullptr;         // the memory context it is selected into, if any
};

struct Context {
    HWND window = nullptr;              // a window's context draws into its surface; a memory
    HGDIOBJ bitmap = nullptr;           // context (no window) into its selected bitmap
    HPALETTE palette = nullptr;         // selected with SelectPalette
    std::shared_ptr<const Palette> paletteData; // kept alive while selected, even if deleted
};

using Object = std::variant<std::shared_ptr<Palette>, std::shared_ptr<Bitmap>, std::shared_ptr<Context>>;

// The 20 colours the platform keeps in every palette: its default palette.
const PALETTEENTRY kDefaultColours[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

struct Table {
    std::mutex mutex;
    // Drawing objects count on from here, apart from window handles.
    platform::HandleTable<Object> objects{0x04000000};
    // The stock objects, never deleted: the palette every context starts with, and the 1 x 1
    // bitmap a new memory context starts with.
    const HPALETTE defaultPalette = objects.Add<HPALETTE>(
        std::make_shared<Palette>(std::begin(kDefaultColours), std::end(kDefaultColours)));
    const HGDIOBJ defaultBitmap = objects.Add<HGDIOBJ>(std::make_shared<Bitmap>(Bitmap{SurfaceView{1, 1, {0u}}}));
};

Table& TheTable() {
    static platform::NeverDestroyed<Table> table;
    return table.get();
}

using GdiLock = std::lock_guard<std::mutex>;

// The following need the drawing lock.

// The object of type T behind the handle; null for anything else.
template <typename T>
std::shared_ptr<T> Find(const void* handle) {
    Object* object = TheTable().objects.Find(handle);
    auto* held = object ? std::get_if<std::shared_ptr<T>>(object) : nullptr;
    return held ? *held : nullptr;
}

// A new context on the window, or in memory for none; either starts with the default palette.
HDC AddContext(HWND window) {
    Table& table = TheTable();
    Context context{window, window ? nullptr : table.defaultBitmap, table.defaultPalette,
                    Find<Palette>(table.defaultPalette)};
    return table.objects.Add<HDC>(std::make_shared<Context>(std::move(context)));
}

// The context's bitmap is no longer selected into it.
void ReleaseBitmap(const Context& context, HDC dc) {
    const auto bitmap = Find<Bitmap>(context.bitmap);
    if (bitmap && bitmap->selectedInto == dc) bitmap->selectedInto = nullptr;
}

// Needs the model lock too. What the context draws into (a client area of no size has an empty
// surface, which draws nothing and is no failure); null when its window has gone.
SurfaceView* Reach(const Context& context) {
    if (!context.window) return &Find<Bitmap>(context.bitmap)->picture;
    platform::user::Window* window = platform::user::Find(context.window);
    if (!window) return nullptr;
    platform::user::EnsureSurface(*window);
    return &window->surface;
}

// The largest bitmap made, in pixels: beyond it a header is taken for damage.
constexpr std::int64_t kMostPixels = 1 << 26;

bool Drawable(const DibHeader& header) {
    // The header and its later, longer forms (up to 124 bytes); the colour table follows.
    if (header.size < sizeof(BITMAPINFOHEADER) || header.size > 124) return false;
    if (header.width <= 0 || header.height == 0 || header.height < -0x7FFFFFFF) return false;
    const std::int64_t pixels = static_cast<std::int64_t>(header.width) * header.Rows();
    return pixels <= kMostPixels && header.compression == BI_RGB;
}

// The colours of a colour table: RGB values, or indices into the context's palette.
std::vector<std::uint32_t> ColourTable(const BITMAPINFO* info, const DibHeader& header, UINT usage,
                                       const Palette& palette) {
    const std::size_t count = header.TableEntries();
    const auto* table = reinterpret_cast<const unsigned char*>(info) + header.size;
    std::vector<std::uint32_t> colours(std::size_t{1} << header.bits, 0); // indices past the table are black
    for (std::size_t i = 0; i < count; ++i) {
        if (usage == DIB_RGB_COLORS) {
            colours[i] = platform::image::DibQuadColour(table + 4 * i);
        } else if (const WORD index = byteorder::LE16(table + 2 * i); index < palette.size()) {
            const PALETTEENTRY& entry = palette[index];
            colours[i] = (std::uint32_t{entry.peRed} << 16) | (std::uint32_t{entry.peGreen} << 8) | entry.peBlue;
        }
    }
    return colours;
}

// Fills `bitmap` from the pixels, as `info` describes them. False when they cannot be read.
bool Decode(platform::SurfaceView& bitmap, const void* pixels, const BITMAPINFO* info, UINT usage,
            const Palette& palette) {
    const DibHeader header = platform::image::ReadDibHeader(info);
    if (!Drawable(header)) return false;
    const int bits = header.bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const std::vector<std::uint32_t> colours =
        bits <= 8 ? ColourTable(info, header, usage, palette) : std::vector<std::uint32_t>{};
    const platform::image::DibRows rows(header, pixels);
    for (int row = 0; row < header.Rows() && row < bitmap.height; ++row) {
        const std::uint8_t* line = rows.Row(row);
        std::uint32_t* out = bitmap.pixels.data() + static_cast<std::size_t>(row) * bitmap.width;
        for (int x = 0; x < header.width && x < bitmap.width; ++x)
            out[x] = bits <= 8 ? colours[rows.Index(line, x)] : rows.Direct(line, x);
    }
    return true;
}

} // namespace

HPALETTE CreatePalette(const LOGPALETTE* record) {
    if (!record || record->palVersion != PALETTE_VERSION || record->palNumEntries == 0) return nullptr;
    // The entries run on behind the record's first one, as many as it says.
    const PALETTEENTRY* entries = record->palPalEntry;
    auto palette = std::make_shared<Palette>(entries, entries + record->palNumEntries);
    GdiLock lock(TheTable().mutex);
    return TheTable().objects.Add<HPALETTE>(std::move(palette));
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    GdiLock lock(TheTable().mutex);
    const auto context = Find<Context>(dc);
    auto data = Find<Palette>(palette);
    if (!context || !data) return nullptr;
    context->paletteData = std::move(data);
    return std::exchange(context->palette, palette);
}

UINT RealizePalette(HDC dc) {
    GdiLock lock(TheTable().mutex);
    const auto context = Find<Context>(dc);
    return context ? static_cast<UINT>(context->paletteData->size()) : GDI_ERROR;
}

BOOL DeleteObject(HGDIOBJ handle) {
    Table& table = TheTable();
    GdiLock lock(table.mutex);
    const auto bitmap = Find<Bitmap>(handle);
    if (!bitmap && !Find<Palette>(handle)) return FALSE;
    if (handle == table.defaultPalette || handle == table.defaultBitmap) return TRUE; // stock: stays
    if (bitmap && bitmap->selectedInto) return FALSE;
    table.objects.Remove(handle);
    return TRUE;
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* headerAt, DWORD init, const void* pixels,
                       const BITMAPINFO* info, UINT usage) {
    if (!headerAt || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) return nullptr;
    const DibHeader header = platform::image::ReadDibHeader(headerAt);
    if (!Drawable(header)) return nullptr;
    const int height = header.Rows();
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->picture = platform::SurfaceView{header.width, height, std::vector<std::uint32_t>(
                          static_cast<std::size_t>(header.width) * static_cast<std::size_t>(height), 0)};

    GdiLock lock(TheTable().mutex);
    if ((init & CBM_INIT) && pixels && info) {
        // Palette indices refer to the palette of the context the bitmap is made for.
        const auto context = Find<Context>(dc);
        std::shared_ptr<const Palette> palette =
            context ? context->paletteData : Find<Palette>(TheTable().defaultPalette);
        if (!Decode(bitmap->picture, pixels, info, usage, *palette)) return nullptr;
    }
    return TheTable().objects.Add<HBITMAP>(std::move(bitmap));
}

HDC CreateCompatibleDC(HDC dc) {
    GdiLock lock(TheTable().mutex);
    if (dc && !Find<Context>(dc)) return nullptr;
    return AddContext(nullptr);
}

BOOL DeleteDC(HDC dc) {
    GdiLock lock(TheTable().mutex);
    const auto context = Find<Context>(dc);
    // A window's context goes back with ReleaseDC or EndPaint.
    if (!context || context->window) return FALSE;
    ReleaseBitmap(*context, dc);
    TheTable().objects.Remove(dc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    GdiLock lock(TheTable().mutex);
    const auto context = Find<Context>(dc);
    const auto bitmap = Find<Bitmap>(object);
    if (!context || context->window || !bitmap) return nullptr;
    if (object == context->bitmap) return object;
    const bool stock = object == TheTable().defaultBitmap;
    if (!stock && bitmap->selectedInto) return nullptr; // in another context
    ReleaseBitmap(*context, dc);
    if (!stock) bitmap->selectedInto = dc;
    return std::exchange(context->bitmap, object);
}

HDC GetDC(HWND window) {
    GdiLock lock(TheTable().mutex);
    // The surface is there from the first context on: a display shows what is drawn.
    const bool found = platform::user::WithWindow(window, [](platform::user::Window& record) {
        platform::user::EnsureSurface(record);
        return true;
    });
    return found ? AddContext(window) : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
    GdiLock lock(TheTable().mutex);
    const auto context = Find<Context>(dc);
    if (!context || !window || context->window != window) return 0;
    TheTable().objects.Remove(dc);
    return 1;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!paint || !ValidateRect(window, nullptr)) return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = GetDC(window);
    if (!paint->hdc) return nullptr;
    GetClientRect(window, &paint->rcPaint);
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint) ReleaseDC(window, paint->hdc);
    return TRUE;
}

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
            int sourceY, DWORD rop) {
    if (rop != SRCCOPY) return FALSE;
    HWND drawn = nullptr;
    {
        GdiLock lock(TheTable().mutex);
        const auto to = Find<Context>(destination);
        const auto from = Find<Context>(source);
        if (!to || !from) return FALSE;
        platform::user::ModelLock model(platform::user::ModelMutex());
        SurfaceView* target = Reach(*to);
        SurfaceView* origin = Reach(*from);
        if (!target || !origin) return FALSE;

        // Clip: first to the destination, then to the source, moving both corners alike.
        // 64-bit sums, so no position near the ends of the int range wraps around.
        std::int64_t left = x, top = y, right = std::int64_t{x} + width, bottom = std::int64_t{y} + height;
        const std::int64_t dx = std::int64_t{sourceX} - x, dy = std::int64_t{sourceY} - y;
        left = std::max<std::int64_t>({left, 0, -dx});
        top = std::max<std::int64_t>({top, 0, -dy});
        right = std::min<std::int64_t>({right, target->width, origin->width - dx});
        bottom = std::min<std::int64_t>({bottom, target->height, origin->height - dy});
        if (left < right && top < bottom) {
            const auto rowBytes = static_cast<std::size_t>(right - left) * sizeof(std::uint32_t);
            // Row by row, each moved as a whole, and from the bottom up when the source lies above
            // in the same picture, so overlapping copies come out right.
            const bool bottomFirst = origin == target && dy < 0;
            for (std::int64_t i = 0; i < bottom - top; ++i) {
                const std::int64_t line = bottomFirst ? bottom - 1 - i : top + i;
                const std::uint32_t* in = origin->pixels.data() + (line + dy) * origin->width + (left + dx);
                std::memmove(target->pixels.data() + line * target->width + left, in, rowBytes);
            }
            drawn = to->window;
        }
    }
    if (drawn) platform::display::Current().WindowChanged(drawn);
    return TRUE;
}
