#include "platform/gdi/Objects.h"

#include <map>

namespace platform::gdi {
namespace {

struct Table {
    std::mutex mutex;
    std::map<std::uintptr_t, Object> objects;
    // Handles of drawing objects count on from here in steps of 4, apart from window handles.
    std::uintptr_t lastHandle = 0x04000000;
    void* defaultPalette = nullptr;
    void* defaultBitmap = nullptr;
};

// WATCHOUT: never destroyed, like the window table: other threads may still draw while the
// process ends.
Table& TheTable() {
    static auto* table = new Table;
    return *table;
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
    Table& table = TheTable();
    table.lastHandle += 4;
    table.objects.emplace(table.lastHandle, std::move(object));
    return reinterpret_cast<void*>(table.lastHandle);
}

Object* FindObject(const void* handle, Kind kind) {
    auto& objects = TheTable().objects;
    auto found = objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == objects.end() || found->second.kind != kind ? nullptr : &found->second;
}

Context* FindContext(HDC dc) {
    Object* object = FindObject(dc, Kind::Context);
    return object ? object->context.get() : nullptr;
}

void RemoveObject(const void* handle) {
    TheTable().objects.erase(reinterpret_cast<std::uintptr_t>(handle));
}

HPALETTE DefaultPalette() {
    Table& table = TheTable();
    if (!table.defaultPalette) {
        Object object;
        object.kind = Kind::Palette;
        object.stock = true;
        object.palette = std::make_shared<Palette>();
        object.palette->entries.assign(std::begin(kDefaultColours), std::end(kDefaultColours));
        table.defaultPalette = AddObject(std::move(object));
    }
    return As<HPALETTE>(table.defaultPalette);
}

HGDIOBJ DefaultBitmap() {
    Table& table = TheTable();
    if (!table.defaultBitmap) {
        Object object;
        object.kind = Kind::Bitmap;
        object.stock = true;
        object.bitmap = std::make_shared<Bitmap>();
        object.bitmap->width = 1;
        object.bitmap->height = 1;
        object.bitmap->pixels.assign(1, 0);
        table.defaultBitmap = AddObject(std::move(object));
    }
    return As<HGDIOBJ>(table.defaultBitmap);
}

HDC AddContext(Context context) {
    context.palette = DefaultPalette();
    context.paletteData = FindObject(context.palette, Kind::Palette)->palette;
    Object object;
    object.kind = Kind::Context;
    object.context = std::make_shared<Context>(std::move(context));
    return As<HDC>(AddObject(std::move(object)));
}

} // namespace platform::gdi
