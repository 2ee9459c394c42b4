#include "platform/display/terminal/ColourMatch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <numbers>
#include <unordered_map>

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

// Colours are compared as people see them, by the CIE's colour difference (CIEDE2000) between
// their CIELAB coordinates. The squared distance of the red, green and blue levels used before
// weighed a step in dark blues as much as one in bright greens: dark teal backdrops went navy.
struct Lab {
    double l, a, b;
};

// An sRGB level's light, 0 to 1, for each of the 256 levels.
const std::array<double, 256>& LinearLevels() {
    static const std::array<double, 256> levels = [] {
        std::array<double, 256> table{};
        for (std::size_t i = 0; i < 256; ++i) {
            const double c = static_cast<double>(i) / 255.0;
            table[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return table;
    }();
    return levels;
}

// sRGB to XYZ under D65, then to L*a*b*.
Lab ToLab(std::uint32_t rgb) {
    const auto& linear = LinearLevels();
    const double r = linear[(rgb >> 16) & 0xFF], g = linear[(rgb >> 8) & 0xFF], b = linear[rgb & 0xFF];
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0; };
    return Lab{116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

// The plain distance in CIELAB (delta E 1976), squared: cheap, and close enough to tell the few
// candidates the finer difference then chooses from.
double Rough(const Lab& p, const Lab& q) {
    return (p.l - q.l) * (p.l - q.l) + (p.a - q.a) * (p.a - q.a) + (p.b - q.b) * (p.b - q.b);
}

double Hue(double b, double a) {
    if (a == 0 && b == 0) return 0;
    const double h = std::atan2(b, a) * 180 / std::numbers::pi;
    return h < 0 ? h + 360 : h;
}

// CIEDE2000 (as Sharma, Wu and Dalal set it out), with the weights all 1.
double Difference(const Lab& p, const Lab& q) {
    const auto radians = [](double degrees) { return degrees * std::numbers::pi / 180; };
    const double seventh25 = std::pow(25.0, 7);
    const double cMean7 = std::pow((std::hypot(p.a, p.b) + std::hypot(q.a, q.b)) / 2, 7);
    const double g = 0.5 * (1 - std::sqrt(cMean7 / (cMean7 + seventh25)));
    const double a1 = (1 + g) * p.a, a2 = (1 + g) * q.a;
    const double c1 = std::hypot(a1, p.b), c2 = std::hypot(a2, q.b);
    const double h1 = Hue(p.b, a1), h2 = Hue(q.b, a2);
    double dh = 0;
    if (c1 * c2 != 0) {
        dh = h2 - h1;
        if (dh > 180) dh -= 360;
        if (dh < -180) dh += 360;
    }
    const double dL = q.l - p.l, dC = c2 - c1;
    const double dH = 2 * std::sqrt(c1 * c2) * std::sin(radians(dh / 2));
    const double lMean = (p.l + q.l) / 2, cMean = (c1 + c2) / 2;
    double hMean = h1 + h2;
    if (c1 * c2 != 0) {
        hMean = std::abs(h1 - h2) <= 180 ? (h1 + h2) / 2 : h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
    const double t = 1 - 0.17 * std::cos(radians(hMean - 30)) + 0.24 * std::cos(radians(2 * hMean)) +
                     0.32 * std::cos(radians(3 * hMean + 6)) - 0.20 * std::cos(radians(4 * hMean - 63));
    const double c7 = std::pow(cMean, 7);
    const double rotation = -2 * std::sqrt(c7 / (c7 + seventh25)) *
                            std::sin(radians(60 * std::exp(-std::pow((hMean - 275) / 25, 2))));
    const double l50 = (lMean - 50) * (lMean - 50);
    const double sl = 1 + 0.015 * l50 / std::sqrt(20 + l50), sc = 1 + 0.045 * cMean, sh = 1 + 0.015 * cMean * t;
    const double l = dL / sl, c = dC / sc, h = dH / sh;
    return std::sqrt(l * l + c * c + h * h + rotation * c * h);
}

// The index of the colour of `colours` nearest to `rgb`: the few nearest by the rough distance,
// then the nearest of those by the fine one.
template <std::size_t N>
int Nearest(const std::array<Lab, N>& colours, std::uint32_t rgb) {
    constexpr std::size_t kCandidates = 6;
    const Lab wanted = ToLab(rgb);
    std::array<std::size_t, N> order{};
    for (std::size_t i = 0; i < N; ++i) order[i] = i;
    std::partial_sort(order.begin(), order.begin() + kCandidates, order.end(), [&](std::size_t x, std::size_t y) {
        return Rough(wanted, colours[x]) < Rough(wanted, colours[y]);
    });
    const auto best = std::min_element(order.begin(), order.begin() + kCandidates, [&](std::size_t x, std::size_t y) {
        return Difference(wanted, colours[x]) < Difference(wanted, colours[y]);
    });
    return static_cast<int>(*best);
}

// A frame asks for the same colours over and over (a page's backdrop, its words, a picture
// redrawn): each thread keeps its answers, up to a bound.
template <typename Match>
int Remembered(std::unordered_map<std::uint32_t, int>& known, std::uint32_t rgb, Match match) {
    const auto found = known.find(rgb);
    if (found != known.end()) return found->second;
    const int index = match(rgb);
    if (known.size() >= 4096) known.clear();
    known.emplace(rgb, index);
    return index;
}

} // namespace

int NearestPaletteColour(std::uint32_t rgb) {
    // Indices 16 to 255, made once.
    static const std::array<Lab, 240> kPalette = [] {
        std::array<Lab, 240> palette{};
        for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = ToLab(PaletteRgb(16 + static_cast<int>(i)));
        return palette;
    }();
    thread_local std::unordered_map<std::uint32_t, int> known;
    return Remembered(known, rgb, [](std::uint32_t c) { return 16 + Nearest(kPalette, c); });
}

int NearestBasicColour(std::uint32_t rgb) {
    static const std::array<Lab, 16> kColours = [] {
        std::array<Lab, 16> colours{};
        for (std::size_t i = 0; i < colours.size(); ++i) colours[i] = ToLab(kBasic[i]);
        return colours;
    }();
    thread_local std::unordered_map<std::uint32_t, int> known;
    return Remembered(known, rgb, [](std::uint32_t c) { return Nearest(kColours, c); });
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
