#include "platform/gdi/Objects.h"

#include "platform/runtime/HandleTable.h"
#include "platform/runtime/NeverDestroyed.h"

namespace platform::gdi {
namespace {

struct Table {
    std::mutex mutex;
    // Drawing objects count on from here, apart from window handles.
    HandleTable<Object> objects{0x04000000};
    void* defaultPalette = nullptr;
    void* defaultBitmap = nullptr;
};

Table& TheTable() {
    static NeverDestroyed<Table> table;
    return table.get();
}

// The 20 colours the platform keeps in every palette: its default palette.
const PALETTEENTRY kDefaultColours[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

} // namespace

std::mutex& GdiMutex() {
    return TheTable().mutex;
}

void* AddObject(Object object) {
    return TheTable().objects.Add(std::move(object));
}

Object* FindObject(const void* handle, Kind kind) {
    Object* found = TheTable().objects.Find(handle);
    return found && found->kind == kind ? found : nullptr;
}

Context* FindContext(HDC dc) {
    Object* object = FindObject(dc, Kind::Context);
    return object ? object->context.get() : nullptr;
}

void RemoveObject(const void* handle) {
    TheTable().objects.Remove(handle);
}

HPALETTE DefaultPalette() {
    Table& table = TheTable();
    if (!table.defaultPalette) {
        auto palette = std::make_shared<Palette>(Palette{{std::begin(kDefaultColours), std::end(kDefaultColours)}});
        table.defaultPalette = AddObject(Object{Kind::Palette, true, std::move(palette), nullptr, nullptr});
    }
    return As<HPALETTE>(table.defaultPalette);
}

HGDIOBJ DefaultBitmap() {
    Table& table = TheTable();
    if (!table.defaultBitmap) {
        auto bitmap = std::make_shared<Bitmap>(Bitmap{SurfaceView{1, 1, {0u}}, nullptr});
        table.defaultBitmap = AddObject(Object{Kind::Bitmap, true, nullptr, std::move(bitmap), nullptr});
    }
    return As<HGDIOBJ>(table.defaultBitmap);
}

HDC AddContext(Context context) {
    context.palette = DefaultPalette();
    context.paletteData = FindObject(context.palette, Kind::Palette)->palette;
    auto shared = std::make_shared<Context>(std::move(context));
    return As<HDC>(AddObject(Object{Kind::Context, false, nullptr, nullptr, std::move(shared)}));
}

} // namespace platform::gdi
