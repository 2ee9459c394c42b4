// How near the terminal's pictures come to their true colours in 256 and in 16 colours: each of
// the nine pictures is cut into 4 x 4 pixel blocks (about one half-block cell of the terminal's
// copy at 100 columns), each block's average colour (what true colour shows) is matched as the
// terminal display matches it, and the mean colour error over all blocks is printed: as CIEDE2000
// (the CIE's colour difference, the judge here; about 1 is the least difference a viewer
// notices), as CIELAB delta E 1976 and as Oklab distance x 100.
//   terminal_colour_error
#include "platform/display/terminal/ColourMatch.h"
#include "platform/resources/Resources.h"
#include "platform/runtime/Kernel.h"
#include "resources/ProgramResources.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace terminal = platform::display::terminal;

namespace {

struct Lab {
    double l, a, b;
};

double Linear(double channel) {
    channel /= 255.0;
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

Lab CieLab(std::uint32_t rgb) {
    const double r = Linear((rgb >> 16) & 0xFF), g = Linear((rgb >> 8) & 0xFF), b = Linear(rgb & 0xFF);
    // sRGB to XYZ under D65, then to L*a*b*.
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0; };
    return Lab{116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

Lab Oklab(std::uint32_t rgb) {
    const double r = Linear((rgb >> 16) & 0xFF), g = Linear((rgb >> 8) & 0xFF), b = Linear(rgb & 0xFF);
    const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return Lab{0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
               1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
               0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

// CIEDE2000, the CIE's current colour difference (Sharma, Wu and Dalal's formulation).
double Ciede2000(const Lab& p, const Lab& q) {
    constexpr double kPi = 3.14159265358979323846;
    const auto degrees = [](double radians) { return radians * 180.0 / kPi; };
    const auto radians = [](double d) { return d * kPi / 180.0; };
    const double c1 = std::hypot(p.a, p.b), c2 = std::hypot(q.a, q.b);
    const double cMean7 = std::pow((c1 + c2) / 2, 7);
    const double g = 0.5 * (1 - std::sqrt(cMean7 / (cMean7 + std::pow(25.0, 7))));
    const double a1 = (1 + g) * p.a, a2 = (1 + g) * q.a;
    const double cp1 = std::hypot(a1, p.b), cp2 = std::hypot(a2, q.b);
    const auto hue = [&](double b, double a) {
        if (a == 0 && b == 0) return 0.0;
        const double h = degrees(std::atan2(b, a));
        return h < 0 ? h + 360 : h;
    };
    const double h1 = hue(p.b, a1), h2 = hue(q.b, a2);
    const double dL = q.l - p.l, dC = cp2 - cp1;
    double dh = 0;
    if (cp1 * cp2 != 0) {
        dh = h2 - h1;
        if (dh > 180) dh -= 360;
        if (dh < -180) dh += 360;
    }
    const double dH = 2 * std::sqrt(cp1 * cp2) * std::sin(radians(dh / 2));
    const double lMean = (p.l + q.l) / 2, cpMean = (cp1 + cp2) / 2;
    double hMean = h1 + h2;
    if (cp1 * cp2 != 0) {
        if (std::abs(h1 - h2) <= 180) hMean = (h1 + h2) / 2;
        else hMean = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
    const double t = 1 - 0.17 * std::cos(radians(hMean - 30)) + 0.24 * std::cos(radians(2 * hMean)) +
                     0.32 * std::cos(radians(3 * hMean + 6)) - 0.20 * std::cos(radians(4 * hMean - 63));
    const double dTheta = 30 * std::exp(-std::pow((hMean - 275) / 25, 2));
    const double cpMean7 = std::pow(cpMean, 7);
    const double rc = 2 * std::sqrt(cpMean7 / (cpMean7 + std::pow(25.0, 7)));
    const double sl = 1 + 0.015 * (lMean - 50) * (lMean - 50) / std::sqrt(20 + (lMean - 50) * (lMean - 50));
    const double sc = 1 + 0.045 * cpMean, sh = 1 + 0.015 * cpMean * t;
    const double rt = -std::sin(radians(2 * dTheta)) * rc;
    return std::sqrt((dL / sl) * (dL / sl) + (dC / sc) * (dC / sc) + (dH / sh) * (dH / sh) + rt * (dC / sc) * (dH / sh));
}

double Between(const Lab& p, const Lab& q) {
    return std::sqrt((p.l - q.l) * (p.l - q.l) + (p.a - q.a) * (p.a - q.a) + (p.b - q.b) * (p.b - q.b));
}

std::uint32_t LE32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// The 4 x 4 block averages of the 8-bit picture `id`.
std::vector<std::uint32_t> Blocks(int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCE(id), RT_BITMAP);
    if (!found) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    const int width = static_cast<int>(LE32(bytes + 4)), height = static_cast<int>(LE32(bytes + 8));
    const std::uint8_t* table = bytes + LE32(bytes);
    const std::uint8_t* pixels = table + 1024;
    const int row = (width + 3) / 4 * 4;
    std::vector<std::uint32_t> blocks;
    for (int by = 0; by + 4 <= height; by += 4) {
        for (int bx = 0; bx + 4 <= width; bx += 4) {
            unsigned r = 0, g = 0, b = 0;
            for (int y = by; y < by + 4; ++y) {
                for (int x = bx; x < bx + 4; ++x) {
                    const std::uint8_t* entry = table + 4 * pixels[(height - 1 - y) * row + x];
                    r += entry[2], g += entry[1], b += entry[0];
                }
            }
            blocks.push_back((r / 16) << 16 | (g / 16) << 8 | (b / 16));
        }
    }
    return blocks;
}

} // namespace

int main() {
    RegisterPictures();
    double lab256 = 0, lab16 = 0, ok256 = 0, ok16 = 0, de256 = 0, de16 = 0;
    double count = 0;
    for (int id = 116; id <= 124; ++id) {
        for (std::uint32_t rgb : Blocks(id)) {
            const std::uint32_t shown256 = terminal::PaletteRgb(terminal::NearestPaletteColour(rgb));
            const std::uint32_t shown16 = terminal::PaletteRgb(terminal::NearestBasicColour(rgb));
            lab256 += Between(CieLab(rgb), CieLab(shown256));
            lab16 += Between(CieLab(rgb), CieLab(shown16));
            de256 += Ciede2000(CieLab(rgb), CieLab(shown256));
            de16 += Ciede2000(CieLab(rgb), CieLab(shown16));
            ok256 += 100 * Between(Oklab(rgb), Oklab(shown256));
            ok16 += 100 * Between(Oklab(rgb), Oklab(shown16));
            ++count;
        }
    }
    std::printf("%.0f blocks of the nine pictures, mean colour error against true colour:\n", count);
    std::printf("  256 colours: CIEDE2000 %.2f, delta E76 %.2f, Oklab x100 %.2f\n", de256 / count, lab256 / count,
                ok256 / count);
    std::printf("  16 colours:  CIEDE2000 %.2f, delta E76 %.2f, Oklab x100 %.2f\n", de16 / count, lab16 / count,
                ok16 / count);
    return count > 0 ? 0 : 1;
}
