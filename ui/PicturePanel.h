// The picture panel: nine announcement pictures shown one at a time in the main window's picture
// area (control 1005), paged back and forth with Previous and Next, wrapping at both ends.
//
// Each picture has its own palette, built once at start-up from its colour table; the picture
// itself becomes a displayable bitmap anew at every paint, so nothing else is kept between paints.
// Everything here runs on the window thread.
#pragma once

#include "platform/gdi/Gdi.h"

#include <cstdint>

constexpr int kPictureCount = 9;

extern std::uint16_t gPictureIds[kPictureCount];   // resource ids in page order: 120 first
extern HPALETTE gPalettes[kPictureCount];           // one per picture; null if it could not be built
extern int gPictureIndex;                           // the page shown, 0 to 8
extern HPALETTE gCurrentPalette;                    // always gPalettes[gPictureIndex]

HPALETTE MakeDIBPalette(int id);
void DrawDIBResource(HDC dc, std::int16_t x, std::int16_t y, int id);
void DeletePalette(HPALETTE palette);

// Fills the page table and builds the palettes.
void StartPictures();
// Paints the current picture into the picture control (on the main window's WM_PAINT).
void PaintPicture(HWND mainWindow);
// The resource id of the picture the panel paints (0 before its first paint). Any thread may ask:
// the terminal's display thread shows that page's words. It changes before the picture's pixels
// do, so the display's frame after the paint has both.
int ShownPicture();
void StepPictureBack();
void StepPictureForward();
// Deletes the palettes, last to first.
void DeletePictures();
