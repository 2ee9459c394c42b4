// Contexts: on a window's client area, or in memory around a selected bitmap; logical palettes
// and their selection into contexts; and the objects' deletion.
#include "platform/gdi/Gdi.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/gdi/Objects.h"
#include "platform/user/Window.h"

using namespace platform::gdi;

namespace {

// Needs the drawing lock. The context's bitmap is no longer selected into it.
void ReleaseBitmap(const Context& context, HDC dc) {
    if (Object* bitmap = FindObject(context.bitmap, Kind::Bitmap)) {
        if (bitmap->bitmap->selectedInto == dc) bitmap->bitmap->selectedInto = nullptr;
    }
}

} // namespace

HDC CreateCompatibleDC(HDC dc) {
    GdiLock lock(GdiMutex());
    if (dc && !FindContext(dc)) return nullptr;
    Context context;
    context.memory = true;
    context.bitmap = DefaultBitmap();
    context.bitmapData = FindObject(context.bitmap, Kind::Bitmap)->bitmap;
    return AddContext(std::move(context));
}

BOOL DeleteDC(HDC dc) {
    GdiLock lock(GdiMutex());
    Context* context = FindContext(dc);
    // A window's context goes back with ReleaseDC or EndPaint.
    if (!context || !context->memory) return FALSE;
    ReleaseBitmap(*context, dc);
    RemoveObject(dc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    GdiLock lock(GdiMutex());
    Context* context = FindContext(dc);
    Object* bitmap = FindObject(object, Kind::Bitmap);
    if (!context || !context->memory || !bitmap) return nullptr;
    if (object == context->bitmap) return object;
    if (!bitmap->stock && bitmap->bitmap->selectedInto) return nullptr; // in another context
    ReleaseBitmap(*context, dc);
    const HGDIOBJ previousHandle = context->bitmap;
    if (!bitmap->stock) bitmap->bitmap->selectedInto = dc;
    context->bitmap = object;
    context->bitmapData = bitmap->bitmap;
    return previousHandle;
}

BOOL DeleteObject(HGDIOBJ handle) {
    GdiLock lock(GdiMutex());
    if (Object* palette = FindObject(handle, Kind::Palette)) {
        if (!palette->stock) RemoveObject(handle);
        return TRUE;
    }
    if (Object* bitmap = FindObject(handle, Kind::Bitmap)) {
        if (bitmap->stock) return TRUE;
        if (bitmap->bitmap->selectedInto) return FALSE;
        RemoveObject(handle);
        return TRUE;
    }
    return FALSE;
}

HDC GetDC(HWND window) {
    GdiLock lock(GdiMutex());
    {
        // The surface is there from the first context on: a display shows what is drawn.
        platform::user::ModelLock model(platform::user::ModelMutex());
        platform::user::Window* record = platform::user::Find(window);
        if (!record) return nullptr;
        platform::user::EnsureSurface(*record);
    }
    Context context;
    context.window = window;
    return AddContext(std::move(context));
}

int ReleaseDC(HWND window, HDC dc) {
    GdiLock lock(GdiMutex());
    const Context* context = FindContext(dc);
    if (!context || context->memory || context->window != window) return 0;
    RemoveObject(dc);
    return 1;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!paint || !ValidateRect(window, nullptr)) return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = GetDC(window);
    if (!paint->hdc) return nullptr;
    GetClientRect(window, &paint->rcPaint);
    paint->fErase = FALSE;
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint) ReleaseDC(window, paint->hdc);
    return TRUE;
}

HPALETTE CreatePalette(const LOGPALETTE* record) {
    if (!record || record->palVersion != PALETTE_VERSION || record->palNumEntries == 0) return nullptr;
    // The entries run on behind the record's first one, as many as it says.
    const PALETTEENTRY* entries = record->palPalEntry;
    auto palette = std::make_shared<Palette>(Palette{{entries, entries + record->palNumEntries}});
    GdiLock lock(GdiMutex());
    return As<HPALETTE>(AddObject(Object{Kind::Palette, false, std::move(palette), nullptr, nullptr}));
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    GdiLock lock(GdiMutex());
    Context* context = FindContext(dc);
    const Object* object = FindObject(palette, Kind::Palette);
    if (!context || !object) return nullptr;
    const HPALETTE previous = context->palette;
    context->palette = palette;
    context->paletteData = object->palette;
    return previous;
}

UINT RealizePalette(HDC dc) {
    GdiLock lock(GdiMutex());
    const Context* context = FindContext(dc);
    if (!context) return GDI_ERROR;
    return static_cast<UINT>(context->paletteData->entries.size());
}
