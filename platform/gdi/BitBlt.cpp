// The bit-block copy between contexts, clipped to both.
#include "platform/gdi/Gdi.h"
#include "platform/display/Backend.h"
#include "platform/gdi/Objects.h"
#include "platform/user/Window.h"

#include <algorithm>

using namespace platform::gdi;
using platform::SurfaceView;

namespace {

// Needs the drawing lock and the model lock. What the context draws into (a client area of no
// size has an empty one, which draws nothing and is no failure); null when its window has gone.
SurfaceView* Reach(Context& context) {
    if (context.memory) return &context.bitmapData->picture;
    platform::user::Window* window = platform::user::Find(context.window);
    if (!window) return nullptr;
    platform::user::EnsureSurface(*window);
    return &window->surface;
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
            const auto rowLength = static_cast<std::size_t>(right - left);
            std::vector<std::uint32_t> row(rowLength);
            // Row by row through a copy, and from the bottom up when the source lies above in the
            // same picture, so overlapping copies come out right.
            const bool bottomFirst = origin == target && dy < 0;
            for (std::int64_t i = 0; i < bottom - top; ++i) {
                const std::int64_t line = bottomFirst ? bottom - 1 - i : top + i;
                const std::uint32_t* in = origin->pixels.data() + (line + dy) * origin->width + (left + dx);
                std::copy_n(in, rowLength, row.begin());
                std::copy_n(row.begin(), rowLength, target->pixels.data() + line * target->width + left);
            }
            drawn = to->memory ? nullptr : to->window;
        }
    }
    if (drawn) platform::display::Current().WindowChanged(drawn);
    return TRUE;
}
