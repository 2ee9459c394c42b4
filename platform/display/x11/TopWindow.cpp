#include "platform/display/x11/TopWindow.h"

#include "platform/display/DisplayText.h"
#include "platform/resources/Resources.h"
#include "platform/user/UserIcons.h"
#include "platform/runtime/ByteOrder.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace platform::display::x11 {
namespace {

using byteorder::LE16;
using byteorder::LE32;

// Bytes of one row of `width` pixels at `bits` per pixel, padded to whole 32-bit words.
std::size_t RowBytes(int width, int bits) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
}

// One icon image resource (header, colour table, colour bits, mask) as the window manager wants
// an icon: its width, its height, then its pixels as 0xAARRGGBB, rows from the top. Empty for
// anything it does not understand or that is cut short. Format 32 properties travel as longs on
// the client side, whatever their size.
std::vector<unsigned long> DecodeIconImage(const unsigned char* bytes, std::size_t size) {
    if (!bytes || size < 40) return {};
    const std::uint32_t headerSize = LE32(bytes);
    const auto width = static_cast<std::int32_t>(LE32(bytes + 4));
    // The height counts the colour bits and the mask together.
    const auto doubleHeight = static_cast<std::int32_t>(LE32(bytes + 8));
    const std::uint32_t bits = LE16(bytes + 14);
    const std::uint32_t compression = LE32(bytes + 16);
    std::uint32_t colours = LE32(bytes + 32);
    if (headerSize < 40 || headerSize > size || width <= 0 || width > 256 || doubleHeight <= 0 ||
        doubleHeight > 512 || compression != 0 || (bits != 1 && bits != 4 && bits != 8)) {
        return {};
    }
    const int height = doubleHeight / 2;
    if (colours == 0 || colours > (1u << bits)) colours = 1u << bits;
    const std::size_t tableAt = headerSize;
    const std::size_t pixelsAt = tableAt + 4u * colours;
    const std::size_t colourRow = RowBytes(width, static_cast<int>(bits));
    const std::size_t maskRow = RowBytes(width, 1);
    const std::size_t maskAt = pixelsAt + colourRow * static_cast<std::size_t>(height);
    if (maskAt + maskRow * static_cast<std::size_t>(height) > size) return {};

    std::vector<unsigned long> data{static_cast<unsigned long>(width), static_cast<unsigned long>(height)};
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom row first.
        const std::size_t stored = static_cast<std::size_t>(height - 1 - y);
        const unsigned char* row = bytes + pixelsAt + stored * colourRow;
        const unsigned char* mask = bytes + maskAt + stored * maskRow;
        for (int x = 0; x < width; ++x) {
            const std::size_t bit = static_cast<std::size_t>(x) * bits;
            const unsigned shift = static_cast<unsigned>(8 - bits - bit % 8);
            const std::uint32_t index = (row[bit / 8] >> shift) & ((1u << bits) - 1);
            const bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
            std::uint32_t argb = 0;
            if (!transparent && index < colours) {
                const unsigned char* entry = bytes + tableAt + 4u * index;
                argb = 0xFF000000u | (std::uint32_t{entry[2]} << 16) | (std::uint32_t{entry[1]} << 8) |
                       entry[0];
            }
            data.push_back(argb);
        }
    }
    return data;
}

// The image of the icon group behind `icon`, its images looked up in `instance`: the one closest
// to 32 x 32 with the most colours.
std::vector<unsigned long> LoadIconImage(HICON icon, HINSTANCE instance) {
    const unsigned char* group = nullptr;
    std::size_t size = 0;
    if (!IconGroupData(icon, &group, &size) || size < 6) return {};
    const std::size_t count = LE16(group + 4);
    // Entries: width, height, colours, reserved, planes, bits per pixel, bytes, id (14 bytes).
    int bestId = -1;
    long bestScore = 0;
    for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= size; ++i) {
        const unsigned char* entry = group + 6 + 14 * i;
        const int width = entry[0] ? entry[0] : 256;
        const long score = 1000L - 10L * std::abs(width - 32) + static_cast<long>(LE16(entry + 6));
        if (bestId < 0 || score > bestScore) {
            bestId = static_cast<int>(LE16(entry + 12));
            bestScore = score;
        }
    }
    if (bestId < 0) return {};
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCE(bestId), RT_ICON);
    if (!found) return {};
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    return DecodeIconImage(bytes, SizeofResource(instance, found));
}

} // namespace

TopWindowHints::TopWindowHints(Display* display) : mDisplay(display) {
    mProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    mDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    mNetName = XInternAtom(display, "_NET_WM_NAME", False);
    mNetIcon = XInternAtom(display, "_NET_WM_ICON", False);
    mUtf8 = XInternAtom(display, "UTF8_STRING", False);
}

Window TopWindowHints::Create(const RECT& rect, unsigned long background) {
    const int width = std::max(1, static_cast<int>(rect.right - rect.left));
    const int height = std::max(1, static_cast<int>(rect.bottom - rect.top));
    const Window window = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), rect.left, rect.top,
                                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                              BlackPixel(mDisplay, DefaultScreen(mDisplay)), background);
    XSizeHints size{};
    size.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    size.x = rect.left;
    size.y = rect.top;
    size.width = size.min_width = size.max_width = width;
    size.height = size.min_height = size.max_height = height;
    XSetWMNormalHints(mDisplay, window, &size);
    XSelectInput(mDisplay, window,
                 ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
    XSetWMProtocols(mDisplay, window, &mDeleteWindow, 1);
    XClassHint hint{const_cast<char*>("dudez"), const_cast<char*>("Dudez")};
    XSetClassHint(mDisplay, window, &hint);
    return window;
}

void TopWindowHints::SetTitle(Window window, const std::string& title) {
    XStoreName(mDisplay, window, title.c_str());
    // Window texts are single bytes (Latin-1); the window manager's name wants UTF-8.
    std::u32string latin1;
    for (unsigned char c : title) latin1 += c;
    const std::string utf8 = EncodeUtf8(latin1);
    XChangeProperty(mDisplay, window, mNetName, mUtf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
}

void TopWindowHints::SetIcon(Window window, HICON icon, HINSTANCE instance) {
    // A null icon is no icon group's: nothing to load.
    const std::vector<unsigned long> data = LoadIconImage(icon, instance);
    if (data.empty()) return;
    XChangeProperty(mDisplay, window, mNetIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

bool TopWindowHints::IsCloseRequest(const XEvent& event) const {
    return event.type == ClientMessage && event.xclient.message_type == mProtocols &&
           static_cast<Atom>(event.xclient.data.l[0]) == mDeleteWindow;
}

} // namespace platform::display::x11
