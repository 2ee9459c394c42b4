#include "ui/PicturePanel.h"

#include "platform/Windows.h"
#include "platform/image/Dib.h"
#include "ui/Globals.h"

#include <atomic>
#include <memory>

std::uint16_t gPictureIds[kPictureCount];
HPALETTE gPalettes[kPictureCount];
int gPictureIndex = 0;
HPALETTE gCurrentPalette = nullptr;

namespace {

std::atomic<int> gShownPicture{0};

constexpr int kColours = 256;
constexpr int kColourTableBytes = kColours * 4;

} // namespace

HPALETTE MakeDIBPalette(int id) {
    HRSRC found = FindResourceA(gInstance, MAKEINTRESOURCE(id), RT_BITMAP);
    HGLOBAL loaded = found ? LoadResource(gInstance, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes) return nullptr;
    const std::uint8_t* table = bytes + platform::image::ReadDibHeader(bytes).size;

    // The record is a header and 256 entries; room for them all, zero-filled.
    const std::size_t recordSize = sizeof(LOGPALETTE) + (kColours - 1) * sizeof(PALETTEENTRY);
    auto record = std::make_unique<std::uint8_t[]>(recordSize);
    auto* palette = reinterpret_cast<LOGPALETTE*>(record.get());
    palette->palVersion = PALETTE_VERSION;
    palette->palNumEntries = kColours;
    // All 256 entries are taken, whatever the header says about the colours it uses.
    for (int i = 0; i < kColours; ++i) {
        palette->palPalEntry[i].peRed = table[4 * i + 2];
        palette->palPalEntry[i].peGreen = table[4 * i + 1];
        palette->palPalEntry[i].peBlue = table[4 * i + 0];
        palette->palPalEntry[i].peFlags = 0;
    }
    HPALETTE handle = CreatePalette(palette);
    FreeResource(loaded);
    return handle;
}

void DrawDIBResource(HDC dc, std::int16_t x, std::int16_t y, int id) {
    if (!dc) return;
    HRSRC found = FindResourceA(gInstance, MAKEINTRESOURCE(id), RT_BITMAP);
    if (!found) return;
    HGLOBAL loaded = LoadResource(gInstance, found);
    if (!loaded) return;
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
    HPALETTE kept = SelectPalette(dc, gCurrentPalette, TRUE);
    if (!bytes || !kept) {
        FreeResource(loaded);
        return;
    }
    RealizePalette(dc);

    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    const platform::image::DibHeader fields = platform::image::ReadDibHeader(bytes);
    // The pixels always stand behind a full 256-entry colour table.
    const std::uint8_t* pixels = bytes + (fields.size & 0xFFFF) + kColourTableBytes;
    HBITMAP bitmap = CreateDIBitmap(dc, header, CBM_INIT, pixels, reinterpret_cast<const BITMAPINFO*>(bytes),
                                    DIB_RGB_COLORS);
    HDC memory = nullptr;
    if (bitmap) {
        memory = CreateCompatibleDC(dc);
        if (memory) {
            SelectObject(memory, bitmap);
            if (SelectPalette(memory, gCurrentPalette, TRUE))
                BitBlt(dc, x, y, fields.width, fields.height, memory, 0, 0, SRCCOPY);
        }
    }
    if (memory) DeleteDC(memory);
    if (bitmap) DeleteObject(bitmap);
    FreeResource(loaded);
    SelectPalette(dc, kept, TRUE);
    RealizePalette(dc);
}

void DeletePalette(HPALETTE palette) {
    if (palette) DeleteObject(palette);
}

void StartPictures() {
    static const std::uint16_t kPageOrder[kPictureCount] = {120, 116, 117, 118, 119, 121, 122, 123, 124};
    for (int i = 0; i < kPictureCount; ++i) gPictureIds[i] = kPageOrder[i];
    for (int i = 0; i < kPictureCount; ++i) gPalettes[i] = MakeDIBPalette(gPictureIds[i]);
    gCurrentPalette = gPalettes[gPictureIndex];
}

void PaintPicture(HWND mainWindow) {
    HWND picture = GetDlgItem(mainWindow, IDC_PICTURE);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(picture, &paint);
    gShownPicture.store(gPictureIds[gPictureIndex]);
    DrawDIBResource(dc, 0, 0, gPictureIds[gPictureIndex]);
    EndPaint(picture, &paint);
}

int ShownPicture() {
    return gShownPicture.load();
}

void StepPictureBack() {
    gPictureIndex = gPictureIndex == 0 ? kPictureCount - 1 : gPictureIndex - 1;
    gCurrentPalette = gPalettes[gPictureIndex];
}

void StepPictureForward() {
    gPictureIndex = (gPictureIndex + 1) % kPictureCount;
    gCurrentPalette = gPalettes[gPictureIndex];
}

void DeletePictures() {
    for (int i = kPictureCount - 1; i >= 0; --i) DeletePalette(gPalettes[i]);
}
