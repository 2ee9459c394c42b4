// Drawing: logical palettes, bitmaps, drawing contexts and the bit-block copy.
//
// The display is a true-colour one: every window that has been drawn into has a pixel surface of
// 32 bits per pixel (0x00RRGGBB, see platform/user/Model.h), as large as its client area, made when a
// drawing context is first taken on it. A bitmap made from a device-independent bitmap holds the
// colours its colour table gives (or, with DIB_PAL_COLORS, the entries of the palette selected
// into the context it was made for); copying it onto a window puts those colours on the surface.
// Palettes are selected and realized as on the platform, but on this display they do not change
// the colours of what is drawn.
//
// A window's context draws into that window only, clipped to its client area (not to its update
// region: a window may paint all of itself whenever it paints). Contexts and objects belong to no
// thread; the calls are safe from any thread.
//
//     PAINTSTRUCT ps;
//     HDC dc = BeginPaint(picture, &ps);
//     HBITMAP bitmap = CreateDIBitmap(dc, header, CBM_INIT, pixels, info, DIB_RGB_COLORS);
//     HDC memory = CreateCompatibleDC(dc);
//     SelectObject(memory, bitmap);
//     BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
//     DeleteDC(memory);
//     DeleteObject(bitmap);
//     EndPaint(picture, &ps);
#pragma once

#include "platform/runtime/WinTypes.h"

struct HDC__;
struct HGDIOBJ__ {};
using HDC = HDC__*;
using HGDIOBJ = HGDIOBJ__*;   // any drawing object
// Palettes and bitmaps are drawing objects: their handles convert to HGDIOBJ (for SelectObject
// and DeleteObject) as on the platform.
struct HPALETTE__ : HGDIOBJ__ {};
struct HBITMAP__ : HGDIOBJ__ {};
using HPALETTE = HPALETTE__*;
using HBITMAP = HBITMAP__*;

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;             // PC_* flags; they do not affect colours here
};

// A palette record: the entries follow palVersion and palNumEntries; the record is allocated
// for as many as palNumEntries says.
struct LOGPALETTE {
    WORD palVersion;          // always 0x300
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

struct BITMAPINFOHEADER {
    DWORD biSize;             // bytes of this header: 40 (the colour table follows it)
    LONG biWidth;             // pixels
    LONG biHeight;            // pixels; positive: the bottom row comes first
    WORD biPlanes;            // 1
    WORD biBitCount;          // bits per pixel: 1, 4, 8, 24 or 32
    DWORD biCompression;      // BI_RGB (no compression) is the only one drawn
    DWORD biSizeImage;        // bytes of the pixels; may be 0 without compression
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;          // colour-table entries; 0: all 2^biBitCount
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// A header and its colour table (which begins biSize bytes after the header's start).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct PAINTSTRUCT {
    HDC hdc;                  // the window's context, valid until EndPaint
    BOOL fErase;              // always FALSE: backgrounds are the display's business
    RECT rcPaint;             // what to paint: the whole client area
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

constexpr WORD PALETTE_VERSION = 0x300;

constexpr DWORD BI_RGB = 0;
constexpr DWORD CBM_INIT = 4;        // CreateDIBitmap: fill the bitmap from the pixels
constexpr UINT DIB_RGB_COLORS = 0;   // the colour table holds RGBQUADs
constexpr UINT DIB_PAL_COLORS = 1;   // the colour table holds 16-bit indices into the palette
                                     // selected into the context

// Raster operations of BitBlt; only the plain copy is drawn.
constexpr DWORD SRCCOPY = 0x00CC0020;

constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

// Palettes. CreatePalette needs version 0x300 and at least one entry; null otherwise.
HPALETTE CreatePalette(const LOGPALETTE* palette);
// Selects the palette into the context and returns the one it replaces; null when the context or
// the palette does not exist (a null palette included). forceBackground has no effect here.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
// The number of entries of the context's palette (all of them reach this display), or GDI_ERROR.
UINT RealizePalette(HDC dc);

// Deletes a palette or bitmap. A context that still has the palette selected keeps using it; a
// bitmap selected into a context cannot be deleted (FALSE), as on the platform.
BOOL DeleteObject(HGDIOBJ object);

// A bitmap for the context `dc` (null: the display) from a device-independent bitmap: the size
// comes from `header`; with CBM_INIT the pixels are read from `pixels` (rows padded to 4 bytes)
// as `info` describes them, whose colour table `usage` says how to read. Null for a header that
// cannot be drawn (no size, compressed, an unknown bit count).
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* pixels,
                       const BITMAPINFO* info, UINT usage);

// Contexts. A memory context draws into the bitmap selected into it; it starts with a 1 x 1
// stock bitmap selected. A bitmap can be selected into one context at a time.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Selects a bitmap into a memory context and returns the one it replaces; null for anything else
// (palettes go through SelectPalette).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// A context on the window's client area, until ReleaseDC.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Copies width x height pixels from (sourceX, sourceY) of `source` to (x, y) of `destination`,
// clipped to both. FALSE for a bad context or a raster operation other than SRCCOPY.
BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
            int sourceY, DWORD rop);

// Painting. BeginPaint validates the window (it gets no more WM_PAINT until invalidated again)
// and hands out a context on it; EndPaint releases that context. Any window can be painted this
// way, a control of another window included.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
