#include "platform/display/terminal/ColourMatch.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace platform::display::terminal {
namespace {

// The standard colours as xterm shows them, in SGR order (30-37, then 90-97).
constexpr std::uint32_t kBasic[16] = {0x000000, 0xCD0000, 0x00CD00, 0xCDCD00, 0x0000EE, 0xCD00CD,
                                      0x00CDCD, 0xE5E5E5, 0x7F7F7F, 0xFF0000, 0x00FF00, 0xFFFF00,
                                      0x5C5CFF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
// The cube's six levels of each primary.
constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};

std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

// The squared distance between two 0xRRGGBB colours.
int Distance(std::uint32_t a, std::uint32_t b) {
    int sum = 0;
    for (int shift : {16, 8, 0}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        sum += d * d;
    }
    return sum;
}

} // namespace

int NearestPaletteColour(std::uint32_t rgb) {
    const int r = static_cast<int>((rgb >> 16) & 0xFF);
    const int g = static_cast<int>((rgb >> 8) & 0xFF);
    const int b = static_cast<int>(rgb & 0xFF);
    auto nearestLevel = [](int value) {
        const auto distance = [value](int level) { return std::abs(level - value); };
        return static_cast<int>(std::ranges::min_element(kLevels, {}, distance) - std::begin(kLevels));
    };
    const int ri = nearestLevel(r), gi = nearestLevel(g), bi = nearestLevel(b);
    const int cube = 16 + 36 * ri + 6 * gi + bi;
    const int cubeDistance = Distance(rgb, Rgb(kLevels[ri], kLevels[gi], kLevels[bi]));
    // The grey ramp 232..255 runs 8, 18, ..., 238.
    const int average = (r + g + b) / 3;
    const int greyIndex = std::clamp((average - 8 + 5) / 10, 0, 23);
    const int grey = 8 + 10 * greyIndex;
    // A grey loses the colour's hue altogether, which the distance alone does not weigh: dark
    // tinted colours (the pages' backgrounds) would all come out grey. The loss is counted as
    // the colour's chroma, so a grey wins only for colours that are nearly grey themselves.
    const int chroma = std::max({r, g, b}) - std::min({r, g, b});
    const int greyDistance = Distance(rgb, Rgb(grey, grey, grey)) + chroma * chroma;
    return greyDistance < cubeDistance ? 232 + greyIndex : cube;
}

int NearestBasicColour(std::uint32_t rgb) {
    const auto nearest = std::ranges::min_element(kBasic, {}, [rgb](std::uint32_t c) { return Distance(rgb, c); });
    return static_cast<int>(nearest - std::begin(kBasic));
}

std::uint32_t PaletteRgb(int index) {
    if (index < 16) return kBasic[std::clamp(index, 0, 15)];
    if (index >= 232) {
        const int grey = 8 + 10 * (std::min(index, 255) - 232);
        return Rgb(grey, grey, grey);
    }
    const int cube = index - 16;
    return Rgb(kLevels[cube / 36], kLevels[cube / 6 % 6], kLevels[cube % 6]);
}

} // namespace platform::display::terminal
