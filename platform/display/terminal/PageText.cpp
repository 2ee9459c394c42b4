#include "platform/display/terminal/PageText.h"

#include "platform/runtime/Kernel.h"
#include "platform/resources/Resources.h"
#include "platform/image/Dib.h"

#include <cstdlib>
#include <sstream>

namespace platform::display::terminal {
namespace {

bool ParseColour(const std::string& text, std::int32_t* colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    char* end = nullptr;
    const long value = std::strtol(text.c_str() + 1, &end, 16);
    if (*end != '\0') return false;
    *colour = static_cast<std::int32_t>(value);
    return true;
}

// The bitmap resource's pixel at (x, y) from the top, as 0xRRGGBB; the resource is an 8-bit
// picture whose pixels are all there (checked when loaded).
std::uint32_t BitmapPixel(const std::uint8_t* bitmap, int x, int y) {
    const image::DibHeader header = image::ReadDibHeader(bitmap);
    const image::DibRows rows(header, bitmap + header.PixelsOffset());
    return image::DibQuadColour(bitmap + header.size + 4 * rows.Index(rows.Row(y), x));
}

} // namespace

std::optional<PageText> ParsePageText(std::string_view bytes) {
    std::istringstream in{std::string(bytes)};
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() < 4 || lines[0].empty() || !lines[3].empty()) return std::nullopt;
    PageText page;
    page.title = lines[0];
    std::int32_t* colours[] = {&page.top, &page.bottom, &page.titleColour, &page.bodyColour, &page.accent};
    // Five colours, one space between each two; what follows them is not read.
    std::istringstream words(lines[1]);
    std::string word;
    for (std::int32_t* colour : colours)
        if (!std::getline(words, word, ' ') || !ParseColour(word, colour)) return std::nullopt;
    page.number = lines[2];
    page.lines.assign(lines.begin() + 4, lines.end());
    while (!page.lines.empty() && page.lines.back().empty()) page.lines.pop_back();
    return page;
}

void PageCatalog::Load() {
    mLoaded = true;
    HMODULE module = GetModuleHandleA(nullptr);
    for (int id : NumberedResources(RT_RCDATA)) {
        HRSRC words = FindResourceA(module, MAKEINTRESOURCE(id), RT_RCDATA);
        HRSRC picture = FindResourceA(module, MAKEINTRESOURCE(id), RT_BITMAP);
        if (!words || !picture) continue;
        const auto* bitmap = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, picture)));
        const DWORD size = SizeofResource(module, picture);
        // Only what BitmapPixel reads: an 8-bit picture, bottom row first, whose pixels are all there.
        if (!bitmap || size < 40) continue;
        const image::DibHeader header = image::ReadDibHeader(bitmap);
        if (header.size < 40 || header.width <= 0 || header.height <= 0 || header.width > 4096 ||
            header.height > 4096 || header.bits != 8 || header.PixelsOffset() + header.PixelBytes() > size)
            continue;
        const auto* text = static_cast<const char*>(LockResource(LoadResource(module, words)));
        std::optional<PageText> page = ParsePageText(std::string_view(text, SizeofResource(module, words)));
        if (page) mEntries.push_back(Entry{std::move(*page), bitmap});
    }
}

const PageText* PageCatalog::Shown(const SurfaceView& surface) {
    if (!mLoaded) Load();
    if (surface.pixels.empty()) return nullptr;
    const PageText* best = nullptr;
    int bestMatches = 0;
    for (const Entry& entry : mEntries) {
        const image::DibHeader header = image::ReadDibHeader(entry.bitmap);
        const int width = std::min(surface.width, static_cast<int>(header.width));
        const int height = std::min(surface.height, static_cast<int>(header.height));
        int matches = 0;
        // A grid of 24 x 12 points over the picture.
        for (int gy = 0; gy < 12; ++gy) {
            for (int gx = 0; gx < 24; ++gx) {
                const int x = (2 * gx + 1) * width / 48, y = (2 * gy + 1) * height / 24;
                if ((surface.At(x, y) & 0xFFFFFF) == BitmapPixel(entry.bitmap, x, y)) ++matches;
            }
        }
        if (matches > bestMatches) best = &entry.text, bestMatches = matches;
    }
    // Nine points in ten: the pictures share a few of them (dark corners), never that many.
    return bestMatches * 10 >= 24 * 12 * 9 ? best : nullptr;
}

} // namespace platform::display::terminal
