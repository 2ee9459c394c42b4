// The nine pictures as the picture panel finds them: bitmap resources 116 to 124 in language
// 1031, each a 400 x 120 picture of 256 colours in the layout the panel decodes, each with
// its own colours and with text on it.
#include "tests/resources/ResourceBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>

using resourcetest::Bytes;
using resourcetest::ResourceBytes;
using resourcetest::S32;
using resourcetest::U16;
using resourcetest::U32;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 120;
constexpr std::size_t kPixels = 1064;   // header and colour table come first
constexpr int kTextLeft = 136;          // the text stands right of the illustration

Bytes Picture(int id) {
    return ResourceBytes(RT_BITMAP, MAKEINTRESOURCE(id));
}

// Brightness (0..255 * 1000) of pixel (x, y), y counted from the top.
int Brightness(const Bytes& picture, int x, int y) {
    const std::uint8_t index = picture[kPixels + static_cast<std::size_t>((kHeight - 1 - y) * kWidth + x)];
    const std::size_t entry = 40 + 4u * index;
    return 114 * picture[entry] + 587 * picture[entry + 1] + 299 * picture[entry + 2];
}

} // namespace

TEST(Pictures, EveryPictureHasTheBitmapLayoutThePanelDecodes) {
    for (int id = 116; id <= 124; ++id) {
        SCOPED_TRACE(id);
        const Bytes p = Picture(id);
        ASSERT_EQ(p.size(), 40u + 1024u + 48000u);
        EXPECT_EQ(U32(p, 0), 40u);           // header size
        EXPECT_EQ(S32(p, 4), kWidth);
        EXPECT_EQ(S32(p, 8), kHeight);       // positive: bottom row first
        EXPECT_EQ(U16(p, 12), 1u);           // planes
        EXPECT_EQ(U16(p, 14), 8u);           // bits per pixel
        EXPECT_EQ(U32(p, 16), 0u);           // no compression
        EXPECT_EQ(U32(p, 20), 0u);           // image size
        EXPECT_EQ(S32(p, 24), 2834);         // pixels per metre
        EXPECT_EQ(S32(p, 28), 2834);
        EXPECT_EQ(U32(p, 32), 0u);           // all 256 colours used
        EXPECT_EQ(U32(p, 36), 0u);
        for (std::size_t entry = 0; entry < 256; ++entry) {
            ASSERT_EQ(p[40 + 4 * entry + 3], 0) << "reserved byte of colour " << entry;
        }
    }
}

TEST(Pictures, EachHasItsOwnPaletteAndImage) {
    std::set<Bytes> palettes;
    std::set<Bytes> images;
    for (int id = 116; id <= 124; ++id) {
        const Bytes p = Picture(id);
        ASSERT_EQ(p.size(), kPixels + 48000u);
        palettes.insert(Bytes(p.begin() + 40, p.begin() + kPixels));
        images.insert(Bytes(p.begin() + kPixels, p.end()));
    }
    EXPECT_EQ(palettes.size(), 9u);
    EXPECT_EQ(images.size(), 9u);
}

TEST(Pictures, AreColourfulNotFlat) {
    for (int id = 116; id <= 124; ++id) {
        SCOPED_TRACE(id);
        const Bytes p = Picture(id);
        ASSERT_EQ(p.size(), kPixels + 48000u);
        std::array<int, 256> uses{};
        for (std::size_t i = kPixels; i < p.size(); ++i) ++uses[p[i]];
        int used = 0;
        int largest = 0;
        for (int count : uses) {
            used += count > 0;
            largest = std::max(largest, count);
        }
        // Gradients and an illustration need many colours; no single colour fills the picture.
        EXPECT_GE(used, 128);
        EXPECT_LT(largest, 48000 / 4);
        // And the colours the pixels use are really different from each other.
        std::set<std::uint32_t> colours;
        for (int index = 0; index < 256; ++index) {
            if (uses[index]) colours.insert(U32(p, 40 + 4 * static_cast<std::size_t>(index)));
        }
        EXPECT_EQ(colours.size(), static_cast<std::size_t>(used));
    }
}

TEST(Pictures, CarryLinesOfTextRightOfTheIllustration) {
    // Text on a picture shows as many sharp light-dark steps along a row, on several bands of
    // rows (a title and some lines) with quieter rows between them.
    for (int id = 116; id <= 124; ++id) {
        SCOPED_TRACE(id);
        const Bytes p = Picture(id);
        ASSERT_EQ(p.size(), kPixels + 48000u);
        int busyRows = 0;
        int bands = 0;
        bool inBand = false;
        int steps = 0;
        for (int y = 0; y < kHeight; ++y) {
            int rowSteps = 0;
            for (int x = kTextLeft + 1; x < kWidth; ++x) {
                if (std::abs(Brightness(p, x, y) - Brightness(p, x - 1, y)) > 100 * 1000) ++rowSteps;
            }
            steps += rowSteps;
            const bool busy = rowSteps >= 20;
            busyRows += busy;
            bands += busy && !inBand;
            inBand = busy;
        }
        EXPECT_GE(steps, 2000);
        EXPECT_GE(busyRows, 30);
        EXPECT_GE(bands, 4);
    }
}
