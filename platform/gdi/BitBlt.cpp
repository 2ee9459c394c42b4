// The bit-block copy between contexts, clipped to both.
#include "platform/gdi/Gdi.h"
#include "platform/display/Backend.h"
#include "platform/gdi/Objects.h"
#include "platform/user/Window.h"

#include <algorithm>

using namespace platform::gdi;

namespace {

struct Pixels {
    std::uint32_t* data = nullptr;
    int width = 0;
    int height = 0;
};

// Needs the drawing lock and the model lock. What the context draws into; false when its window
// has gone.
bool Reach(Context& context, Pixels* pixels) {
    if (context.memory) {
        *pixels = Pixels{context.bitmapData->pixels.data(), context.bitmapData->width,
                         context.bitmapData->height};
        return true;
    }
    platform::user::Window* window = platform::user::Find(context.window);
    if (!window) return false;
    // A client area of no size draws nothing, and that is no failure.
    if (!platform::user::EnsureSurface(*window)) {
        *pixels = Pixels{};
        return true;
    }
    *pixels = Pixels{window->surface.data(), window->surfaceWidth, window->surfaceHeight};
    return true;
}

} // namespace

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
            int sourceY, DWORD rop) {
    if (rop != SRCCOPY) return FALSE;
    HWND drawn = nullptr;
    {
        GdiLock lock(GdiMutex());
        Context* to = FindContext(destination);
        Context* from = FindContext(source);
        if (!to || !from) return FALSE;
        platform::user::ModelLock model(platform::user::ModelMutex());
        Pixels target;
        Pixels origin;
        if (!Reach(*to, &target) || !Reach(*from, &origin)) return FALSE;

        // Clip: first to the destination, then to the source, moving both corners alike.
        // 64-bit sums, so no position near the ends of the int range wraps around.
        std::int64_t left = x, top = y, right = std::int64_t{x} + width, bottom = std::int64_t{y} + height;
        const std::int64_t dx = std::int64_t{sourceX} - x, dy = std::int64_t{sourceY} - y;
        left = std::max<std::int64_t>({left, 0, -dx});
        top = std::max<std::int64_t>({top, 0, -dy});
        right = std::min<std::int64_t>({right, target.width, origin.width - dx});
        bottom = std::min<std::int64_t>({bottom, target.height, origin.height - dy});
        if (left < right && top < bottom) {
            const auto rowLength = static_cast<std::size_t>(right - left);
            std::vector<std::uint32_t> row(rowLength);
            // Row by row through a copy, and from the bottom up when the source lies above in the
            // same picture, so overlapping copies come out right.
            const bool bottomFirst = origin.data == target.data && dy < 0;
            for (std::int64_t i = 0; i < bottom - top; ++i) {
                const std::int64_t line = bottomFirst ? bottom - 1 - i : top + i;
                const std::uint32_t* in = origin.data + (line + dy) * origin.width + (left + dx);
                std::copy_n(in, rowLength, row.begin());
                std::copy_n(row.begin(), rowLength, target.data + line * target.width + left);
            }
            drawn = to->memory ? nullptr : to->window;
        }
    }
    if (drawn) platform::display::Current().WindowChanged(drawn);
    return TRUE;
}
