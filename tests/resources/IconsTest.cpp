// The icon group "DUDEZ": its directory and the two images it names, as the platform's icon
// loading reads them.
#include "tests/resources/ResourceBytes.h"

#include "platform/runtime/Kernel.h"
#include "platform/user/UserIcons.h"

#include <gtest/gtest.h>

#include <cstdlib>

using resourcetest::Bytes;
using resourcetest::ResourceBytes;
using resourcetest::S32;
using resourcetest::U16;
using resourcetest::U32;

namespace {

constexpr int kSize = 32;

Bytes Group() {
    return ResourceBytes(RT_GROUP_ICON, "DUDEZ");
}

Bytes Image(int id) {
    return ResourceBytes(RT_ICON, MAKEINTRESOURCE(id));
}

// One decoded icon image: a colour per pixel and whether the mask lets the screen show through.
struct Decoded {
    std::uint32_t colour[kSize][kSize];  // 0x00RRGGBB, [y][x] with y from the top
    bool transparent[kSize][kSize];
};

Decoded Decode(const Bytes& image) {
    const unsigned bits = U16(image, 14);
    const std::size_t table = 40;
    const std::size_t xor_ = table + 4 * (std::size_t{1} << bits);
    const std::size_t rowBytes = kSize * bits / 8;
    const std::size_t and_ = xor_ + rowBytes * kSize;
    Decoded d{};
    for (int y = 0; y < kSize; ++y) {
        const std::size_t row = static_cast<std::size_t>(kSize - 1 - y);  // bottom row first
        for (int x = 0; x < kSize; ++x) {
            const std::size_t bit = static_cast<std::size_t>(x) * bits;
            const unsigned byte = image.at(xor_ + row * rowBytes + bit / 8);
            const unsigned index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            const std::size_t entry = table + 4 * index;
            d.colour[y][x] = (static_cast<std::uint32_t>(image.at(entry + 2)) << 16) |
                             (static_cast<std::uint32_t>(image.at(entry + 1)) << 8) | image.at(entry);
            const unsigned maskByte = image.at(and_ + row * 4 + static_cast<std::size_t>(x) / 8);
            d.transparent[y][x] = (maskByte >> (7 - x % 8)) & 1;
        }
    }
    return d;
}

} // namespace

TEST(Icons, GroupDirectoryNamesBothImagesWithTheirRealSizes) {
    const Bytes group = Group();
    ASSERT_EQ(group.size(), 6u + 2 * 14u);
    EXPECT_EQ(U16(group, 0), 0u);  // reserved
    EXPECT_EQ(U16(group, 2), 1u);  // icons, not cursors
    ASSERT_EQ(U16(group, 4), 2u);
    struct Expected {
        unsigned colours, bits, id;
    } expected[] = {{16, 4, 1}, {0, 8, 2}};  // 0 colours: 256 or more
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const std::size_t e = 6 + 14 * i;
        EXPECT_EQ(group[e], kSize);
        EXPECT_EQ(group[e + 1], kSize);
        EXPECT_EQ(group[e + 2], expected[i].colours);
        EXPECT_EQ(group[e + 3], 0);
        EXPECT_EQ(U16(group, e + 4), 1u);  // planes
        EXPECT_EQ(U16(group, e + 6), expected[i].bits);
        ASSERT_EQ(U16(group, e + 12), expected[i].id);
        const Bytes image = Image(static_cast<int>(expected[i].id));
        EXPECT_EQ(U32(group, e + 8), image.size());
        ASSERT_GE(image.size(), 40u);
        EXPECT_EQ(U16(image, 14), expected[i].bits) << "the image the entry names";
    }
}

TEST(Icons, ImagesHoldColourPixelsAndMaskAtTwiceTheHeight) {
    for (unsigned bits : {4u, 8u}) {
        SCOPED_TRACE(bits);
        const Bytes image = Image(bits == 4 ? 1 : 2);
        const std::size_t colours = std::size_t{1} << bits;
        ASSERT_EQ(image.size(), 40 + 4 * colours + kSize * kSize * bits / 8 + kSize * 4);
        EXPECT_EQ(U32(image, 0), 40u);
        EXPECT_EQ(S32(image, 4), kSize);
        EXPECT_EQ(S32(image, 8), 2 * kSize);  // colour pixels and mask
        EXPECT_EQ(U16(image, 12), 1u);
        EXPECT_EQ(U32(image, 16), 0u);
        EXPECT_EQ(U32(image, 20), image.size() - 40 - 4 * colours);
    }
}

TEST(Icons, MaskOutlinesTheSameShapeInBothAndHidesOnlyBlack) {
    const Decoded small = Decode(Image(1));
    const Decoded large = Decode(Image(2));
    int opaque = 0;
    long difference = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            ASSERT_EQ(small.transparent[y][x], large.transparent[y][x]) << x << "," << y;
            if (small.transparent[y][x]) {
                // The screen shows through unchanged only where the colour pixel is black.
                EXPECT_EQ(small.colour[y][x], 0u) << x << "," << y;
                EXPECT_EQ(large.colour[y][x], 0u) << x << "," << y;
                continue;
            }
            ++opaque;
            for (int shift : {0, 8, 16}) {
                difference += std::abs(static_cast<int>((small.colour[y][x] >> shift) & 255) -
                                       static_cast<int>((large.colour[y][x] >> shift) & 255));
            }
        }
    }
    // A drawing with a see-through surround, not a filled square nor an empty one.
    EXPECT_GT(opaque, kSize * kSize / 2);
    EXPECT_LT(opaque, kSize * kSize);
    // The 16-colour image is the same drawing as the 256-colour one, in fewer colours.
    EXPECT_LT(difference / (3 * opaque), 24);
}

TEST(Icons, WindowClassCanLoadTheGroupByName) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "DUDEZ");
    ASSERT_NE(icon, nullptr);
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(platform::IconGroupData(icon, &data, &size));
    EXPECT_TRUE(Bytes(data, data + size) == Group());
}
