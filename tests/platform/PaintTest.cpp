#include "tests/platform/Dib.h"
#include "tests/platform/Recorder.h"

#include "platform/user/HeadlessDisplay.h"
#include "platform/user/Input.h"
#include "platform/user/Model.h"

#include <iterator>

namespace {

platform::SurfaceView Surface(HWND window) {
    platform::SurfaceView view;
    EXPECT_TRUE(platform::ReadSurface(window, &view));
    return view;
}

// Colour-table entry i: red i, green 255 - i, blue i / 2.
std::vector<RGBQUAD> Ramp() {
    std::vector<RGBQUAD> colours(256);
    for (int i = 0; i < 256; ++i) {
        colours[i] = RGBQUAD{static_cast<BYTE>(i / 2), static_cast<BYTE>(255 - i), static_cast<BYTE>(i), 0};
    }
    return colours;
}

std::uint32_t RampColour(unsigned i) {
    return (i << 16) | ((255 - i) << 8) | (i / 2);
}

unsigned Pattern(int x, int y) {
    return static_cast<unsigned>(x * 7 + y * 3) % 256;
}

// The program's picture area: a static of 400 x 120 pixels at (14, 14) of its window.
HWND MakePictureArea(HWND parent) {
    HWND area = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 14, 14, 400, 120,
                                parent, reinterpret_cast<HMENU>(1005), nullptr, nullptr);
    EXPECT_TRUE(area);
    return area;
}

using Painting = WindowTest;

} // namespace

TEST_F(Painting, APictureDrawnIntoAControlIsClippedToIt) {
    HWND top = Keep(MakeRecorderWindow("", RECT{0, 0, 430, 238}));
    HWND area = MakePictureArea(top);
    // Larger than the area on both sides, bottom row first as bitmap resources are.
    const std::vector<unsigned char> picture = MakeDib(420, 130, 8, Ramp(), Pattern);

    PAINTSTRUCT paint;
    HDC dc = BeginPaint(area, &paint);
    ASSERT_TRUE(dc);
    EXPECT_EQ(paint.rcPaint.right, 400);
    EXPECT_EQ(paint.rcPaint.bottom, 120);
    ASSERT_TRUE(DrawDib(dc, 0, 0, picture));
    EndPaint(area, &paint);

    const platform::SurfaceView drawn = Surface(area);
    ASSERT_EQ(drawn.width, 400);
    ASSERT_EQ(drawn.height, 120);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (drawn.At(x, y) != RampColour(Pattern(x, y))) {
                ADD_FAILURE() << "pixel " << x << "," << y;
                return;
            }
        }
    }
    // Only the control was drawn into, not the window around it.
    platform::SurfaceView around;
    EXPECT_FALSE(platform::ReadSurface(top, &around));
    platform::WindowView view;
    platform::InspectWindow(area, &view);
    EXPECT_TRUE(view.painted);
    EXPECT_FALSE(view.needsPaint); // BeginPaint validated it

    // Partly outside: at (390, 110) only a 10 x 10 corner lands; above and left of the area, the
    // picture's top-left part is cut off instead.
    HDC again = GetDC(area);
    const std::vector<unsigned char> white = MakeDib(50, 50, 8, {{0xFF, 0xFF, 0xFF, 0}}, [](int, int) { return 0u; });
    ASSERT_TRUE(DrawDib(again, 390, 110, white));
    ASSERT_TRUE(DrawDib(again, -45, -48, white));
    ReleaseDC(area, again);
    const platform::SurfaceView after = Surface(area);
    EXPECT_EQ(after.At(390, 110), 0xFFFFFFu);
    EXPECT_EQ(after.At(399, 119), 0xFFFFFFu);
    EXPECT_EQ(after.At(389, 110), RampColour(Pattern(389, 110)));
    EXPECT_EQ(after.At(390, 109), RampColour(Pattern(390, 109)));
    EXPECT_EQ(after.At(4, 1), 0xFFFFFFu);
    EXPECT_EQ(after.At(5, 1), RampColour(Pattern(5, 1)));
    EXPECT_EQ(after.At(4, 2), RampColour(Pattern(4, 2)));
}

TEST_F(Painting, ColoursComeFromTheColourTable) {
    HWND top = Keep(MakeRecorderWindow());
    HWND area = MakePictureArea(top);
    // Entry 1 holds blue 0x10, green 0x20, red 0x30.
    const std::vector<RGBQUAD> colours{{0, 0, 0, 0}, {0x10, 0x20, 0x30, 0}, {0xFF, 0, 0, 0}};
    HDC dc = GetDC(area);
    ASSERT_TRUE(DrawDib(dc, 0, 0, MakeDib(3, 2, 8, colours, [](int x, int y) { return (x + y) % 3u; })));
    // Four bits per pixel (the high half first) and rows from the top.
    ASSERT_TRUE(DrawDib(dc, 10, 0, MakeDib(3, 2, 4, colours, [](int x, int) { return x % 3u; }, true)));
    // Without a colour table: blue, green, red in each pixel.
    ASSERT_TRUE(DrawDib(dc, 20, 0, MakeDib(2, 1, 24, {}, [](int x, int) { return x ? 0x102030u : 0x0000FFu; })));
    ReleaseDC(area, dc);

    const platform::SurfaceView drawn = Surface(area);
    EXPECT_EQ(drawn.At(1, 0), 0x302010u);
    EXPECT_EQ(drawn.At(2, 0), 0x0000FFu);
    EXPECT_EQ(drawn.At(0, 1), 0x302010u); // bottom row first in the bytes, still the second row
    EXPECT_EQ(drawn.At(10, 0), 0u);
    EXPECT_EQ(drawn.At(11, 0), 0x302010u);
    EXPECT_EQ(drawn.At(12, 1), 0x0000FFu);
    EXPECT_EQ(drawn.At(20, 0), 0x0000FFu);
    EXPECT_EQ(drawn.At(21, 0), 0x102030u);
}

TEST_F(Painting, PalettesFromABitmapResource) {
    // A bitmap resource of 256 colours, as the pictures are: header, colour table, pixels.
    static const std::vector<unsigned char> picture = [] {
        std::vector<unsigned char> bytes = MakeDib(8, 4, 8, Ramp(), Pattern);
        // All 256 colours, whatever the count says.
        bytes[32] = bytes[33] = 0;
        return bytes;
    }();
    static const platform::ResourceEntry entry{RT_BITMAP, nullptr, 9116, 1031, picture.data(), picture.size()};
    static const bool registered = (platform::RegisterResources(&entry, 1), true);
    ASSERT_TRUE(registered);

    HRSRC found = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(9116), RT_BITMAP);
    ASSERT_TRUE(found);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_TRUE(bytes);
    std::vector<unsigned char> record(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY), 0);
    auto* logical = reinterpret_cast<LOGPALETTE*>(record.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 256;
    const unsigned char* table = bytes + bytes[0]; // behind the header, by its size
    for (int i = 0; i < 256; ++i) {
        logical->palPalEntry[i] = PALETTEENTRY{table[4 * i + 2], table[4 * i + 1], table[4 * i], 0};
    }
    HPALETTE palette = CreatePalette(logical);
    ASSERT_TRUE(palette);
    FreeResource(LoadResource(nullptr, found));

    // Selected into a paint context and back, as a picture is drawn.
    HWND top = Keep(MakeRecorderWindow());
    HWND area = MakePictureArea(top);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(area, &paint);
    EXPECT_EQ(RealizePalette(dc), 20u); // every context starts with the 20 system colours
    HPALETTE kept = SelectPalette(dc, palette, TRUE);
    EXPECT_TRUE(kept);
    EXPECT_EQ(RealizePalette(dc), 256u);
    EXPECT_EQ(SelectPalette(dc, nullptr, TRUE), nullptr); // a picture without a palette stops here

    // Bitmaps whose colour table indexes the selected palette.
    std::vector<unsigned char> indexed = MakeDib(2, 1, 8, {}, [](int x, int) { return x ? 1u : 0u; });
    indexed[32] = 2; // two 16-bit indices follow the header
    const unsigned char indices[] = {0x30, 0, 0xFF, 0};
    indexed.insert(indexed.begin() + 40, std::begin(indices), std::end(indices));
    ASSERT_TRUE(DrawDib(dc, 0, 0, indexed, DIB_PAL_COLORS));

    // Deleting the palette while selected: the context goes on with it.
    EXPECT_TRUE(DeleteObject(palette));
    EXPECT_EQ(RealizePalette(dc), 256u);
    EXPECT_EQ(SelectPalette(dc, palette, TRUE), nullptr); // the handle itself is gone
    EXPECT_EQ(SelectPalette(dc, kept, TRUE), palette);
    EXPECT_EQ(RealizePalette(dc), 20u);
    EndPaint(area, &paint);
    EXPECT_EQ(Surface(area).At(0, 0), RampColour(0x30));
    EXPECT_EQ(Surface(area).At(1, 0), RampColour(0xFF));

    EXPECT_EQ(CreatePalette(nullptr), nullptr);
    logical->palVersion = 0x200;
    EXPECT_EQ(CreatePalette(logical), nullptr);
}

TEST_F(Painting, ObjectsFollowTheirOwnershipRules) {
    const std::vector<unsigned char> dib = MakeDib(4, 4, 8, Ramp(), Pattern);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    const unsigned char* pixels = dib.data() + 40 + 1024;
    HBITMAP bitmap = CreateDIBitmap(nullptr, &info->bmiHeader, CBM_INIT, pixels, info, DIB_RGB_COLORS);
    ASSERT_TRUE(bitmap);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC other = CreateCompatibleDC(memory);
    HGDIOBJ stock = SelectObject(memory, bitmap);
    EXPECT_TRUE(stock);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr); // in one context at a time
    EXPECT_FALSE(DeleteObject(bitmap));              // not while it is selected
    EXPECT_EQ(SelectObject(memory, nullptr), nullptr);
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(memory))); // contexts go with DeleteDC

    // Copies within one bitmap that overlap themselves, both ways.
    ASSERT_TRUE(BitBlt(memory, 0, 1, 4, 3, memory, 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(other, 0, 0, 4, 4, memory, 0, 0, SRCCOPY)); // draws into the 1 x 1 stock bitmap
    HWND top = Keep(MakeRecorderWindow());
    HWND area = MakePictureArea(top);
    HDC dc = GetDC(area);
    ASSERT_TRUE(BitBlt(dc, 0, 0, 4, 4, memory, 0, 0, SRCCOPY));
    const platform::SurfaceView moved = Surface(area);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(moved.At(x, 0), RampColour(Pattern(x, 0)));
        EXPECT_EQ(moved.At(x, 1), RampColour(Pattern(x, 0)));
        EXPECT_EQ(moved.At(x, 3), RampColour(Pattern(x, 2)));
    }
    ASSERT_TRUE(BitBlt(memory, 0, 0, 4, 3, memory, 0, 1, SRCCOPY));
    ASSERT_TRUE(BitBlt(dc, 0, 0, 4, 4, memory, 0, 0, SRCCOPY));
    EXPECT_EQ(Surface(area).At(2, 2), RampColour(Pattern(2, 2)));
    EXPECT_EQ(Surface(area).At(2, 0), RampColour(Pattern(2, 0)));

    EXPECT_FALSE(BitBlt(dc, 0, 0, 4, 4, memory, 0, 0, 0x00EE0086)); // only the plain copy
    EXPECT_EQ(SelectObject(memory, stock), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(memory));
    EXPECT_EQ(ReleaseDC(area, dc), 1);

    // A window that is gone takes no more drawing; headers that cannot be drawn make nothing.
    HDC orphan = GetDC(area);
    DestroyWindow(area);
    HDC source = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(BitBlt(orphan, 0, 0, 1, 1, source, 0, 0, SRCCOPY));
    DeleteDC(source);
    BITMAPINFOHEADER header = info->bmiHeader;
    header.biCompression = 1;
    EXPECT_EQ(CreateDIBitmap(nullptr, &header, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
    header = info->bmiHeader;
    header.biWidth = 0;
    EXPECT_EQ(CreateDIBitmap(nullptr, &header, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
    header = info->bmiHeader;
    header.biWidth = 1 << 20;
    header.biHeight = 1 << 20;
    EXPECT_EQ(CreateDIBitmap(nullptr, &header, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
}

TEST_F(Painting, PaintingWaitsUntilNothingElseDoes) {
    HWND top = Keep(MakeRecorderWindow());
    HWND area = MakePictureArea(top);
    PumpPending();
    // A posted command repaints; a second command and a key wait behind it.
    Recorder::React(WM_USER, [&](HWND window, WPARAM, LPARAM) -> LRESULT {
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    });
    PostMessageA(top, WM_USER, 0, 0);
    PostMessageA(top, WM_USER + 1, 0, 0);
    platform::PostInput(top, WM_KEYDOWN, VK_RIGHT, 1);
    std::vector<UINT> order;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        order.push_back(msg.message);
        // The window paints its control, so only the window itself stays to be validated.
        if (msg.message == WM_PAINT) {
            PAINTSTRUCT paint;
            BeginPaint(area, &paint);
            EndPaint(area, &paint);
        }
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_KEYDOWN, WM_PAINT}));
}

TEST_F(Painting, ARunNobodyWatchesIsNeverPainted) {
    // A display that shows nothing: no window of it is sent WM_PAINT, by UpdateWindow or by the
    // message loop, though it is shown and invalid.
    platform::display::Install(std::make_unique<platform::display::UnwatchedBackend>());
    HWND top = Keep(MakeRecorderWindow());
    UpdateWindow(top);
    InvalidateRect(top, nullptr, TRUE);
    PumpPending();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_FALSE(Recorder::Saw(top, WM_PAINT));

    // Back on the display that shows them, the same window is painted.
    platform::display::Install(nullptr);
    UpdateWindow(top);
    EXPECT_TRUE(Recorder::Saw(top, WM_PAINT));
}
