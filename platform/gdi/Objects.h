// The drawing objects behind the handles: palettes, bitmaps and contexts, in one table.
//
// All of it is guarded by the drawing lock. WATCHOUT: code holding it may take the model lock
// (to reach a window's surface), never the other way round; nothing else is locked or called
// while it is held.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/user/Model.h"

#include <memory>
#include <mutex>
#include <vector>

namespace platform::gdi {

struct Palette {
    std::vector<PALETTEENTRY> entries;
};

struct Bitmap {
    SurfaceView picture;
    HDC selectedInto = nullptr;         // the memory context it is selected into, if any
};

struct Context {
    HWND window = nullptr;              // a window's context: draws into its surface
    bool memory = false;                // a memory context: draws into `bitmap`
    HGDIOBJ bitmap = nullptr;
    std::shared_ptr<Bitmap> bitmapData;
    HPALETTE palette = nullptr;         // selected with SelectPalette
    std::shared_ptr<const Palette> paletteData; // kept alive while selected, even if deleted
};

enum class Kind { Palette, Bitmap, Context };

struct Object {
    Kind kind = Kind::Palette;
    bool stock = false;                 // never deleted
    std::shared_ptr<Palette> palette;
    std::shared_ptr<Bitmap> bitmap;
    std::shared_ptr<Context> context;
};

using GdiLock = std::unique_lock<std::mutex>;
std::mutex& GdiMutex();

// The following need the drawing lock.

// Takes the object into the table under a new handle, never used before.
void* AddObject(Object object);
// The object of that kind behind the handle; null for anything else.
Object* FindObject(const void* handle, Kind kind);
Context* FindContext(HDC dc);
void RemoveObject(const void* handle);
// The stock palette every context starts with, and the stock bitmap of a new memory context.
HPALETTE DefaultPalette();
HGDIOBJ DefaultBitmap();
// A new context with the default palette selected.
HDC AddContext(Context context);

template <typename Handle>
Handle As(void* handle) {
    return reinterpret_cast<Handle>(handle);
}

} // namespace platform::gdi
