// A read-only view of the window model, for display backends that draw it and for tests.
//
// These calls read the model directly, under its lock, from any thread; they never send a
// message and never wait for a window's thread, so a display thread can use them while the
// window thread is busy.
//
//     platform::WindowView view;
//     if (platform::InspectWindow(bar, &view)) Draw(view.rect, view.position, view.rangeHigh);
//     platform::SurfaceView pixels;
//     if (platform::ReadSurface(picture, &pixels)) Show(pixels.At(0, 0));
#pragma once

#include "platform/runtime/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct WindowView {
    HWND parent = nullptr;     // the parent of a child, the owner of any other window
    std::string className;     // as the class was registered
    std::string text;
    DWORD style = 0;           // WS_* and the class's own style bits
    int id = 0;                // control id of a child
    RECT rect{};               // in the parent's client coordinates (screen for a top-level one)
    bool enabled = false;      // its own state; input also needs its ancestors enabled
    bool visible = false;      // its own state; it is seen only when its ancestors are too
    bool focused = false;      // it has the keyboard focus of its thread
    bool needsPaint = false;   // invalidated and not yet validated
    bool painted = false;      // the program has drawn into it: it has a surface
    // Control state a display draws.
    bool pushed = false;       // a button held down
    int rangeLow = 0;          // a progress bar's range and position
    int rangeHigh = 0;
    int position = 0;
};

// What the program has drawn into a window's client area.
struct SurfaceView {
    int width = 0;                     // pixels; the client area's size when it was drawn into
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, rows from the top, `width` pixels each

    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// FALSE when the window does not exist.
bool InspectWindow(HWND window, WindowView* view);
// A copy of the window's surface; false when the window does not exist or nothing has ever been
// drawn into it (what a display then shows is its own look of the window alone). A display draws
// a window's own look first and its surface over it.
bool ReadSurface(HWND window, SurfaceView* view);
// Children in creation order (the order a display draws them in).
std::vector<HWND> ChildWindows(HWND parent);
// Windows without a parent, in creation order.
std::vector<HWND> TopLevelWindows();

} // namespace platform
