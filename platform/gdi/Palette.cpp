// Logical palettes and their selection into contexts.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Objects.h"

using namespace platform::gdi;

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
