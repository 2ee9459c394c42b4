// The checked-in picture and icon files: tools/make-pictures makes them again byte for byte,
// the build embeds exactly them, and the desktop icons are PNGs of the sizes their names say.
#include "tests/resources/ResourceBytes.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using resourcetest::ResourceBytes;
using testsupport::Bytes;
using testsupport::ListDir;
using testsupport::ReadFileBytes;

namespace {

// The source tree: as the test runner names it, or else where this file was compiled from.
std::string SourceDir() {
    if (const char* dir = std::getenv("DUDEZ_SOURCE_DIR"); dir && *dir) return dir;
    std::string file = __FILE__;
    const std::string tail = "/tests/resources/GeneratorTest.cpp";
    if (file.size() > tail.size() && file.compare(file.size() - tail.size(), tail.size(), tail) == 0)
        return file.substr(0, file.size() - tail.size());
    return {};
}

bool HavePython() {
    return std::system("python3 -c 'import zlib' >/dev/null 2>&1") == 0;
}

std::uint32_t BigEndian32(const Bytes& b, std::size_t at) {
    return (static_cast<std::uint32_t>(b.at(at)) << 24) | (static_cast<std::uint32_t>(b.at(at + 1)) << 16) |
           (static_cast<std::uint32_t>(b.at(at + 2)) << 8) | b.at(at + 3);
}

} // namespace

TEST(Generator, RemakesTheCheckedInFilesByteForByte) {
    const std::string source = SourceDir();
    if (source.empty()) GTEST_SKIP() << "source tree not known";
    if (!HavePython()) GTEST_SKIP() << "python3 is not available";
    testsupport::TempDir out;
    const std::string command = "python3 '" + source + "/tools/make-pictures' --out '" + out.Path() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const std::string folder : {"pictures", "icons"}) {
        const auto made = ListDir(out.File(folder));
        // Everything the generator makes is checked in, and nothing else sits beside it.
        EXPECT_EQ(made, ListDir(source + "/resources/" + folder)) << folder;
        for (const std::string& name : made) {
            SCOPED_TRACE(folder + "/" + name);
            const Bytes remade = ReadFileBytes(out.File(folder + "/" + name));
            const Bytes checkedIn = ReadFileBytes(source + "/resources/" + folder + "/" + name);
            EXPECT_TRUE(remade == checkedIn);
        }
    }
}

TEST(Generator, TheBuildEmbedsTheCheckedInFiles) {
    const std::string source = SourceDir();
    if (source.empty()) GTEST_SKIP() << "source tree not known";
    for (int id = 116; id <= 124; ++id) {
        SCOPED_TRACE(id);
        const Bytes file = ReadFileBytes(source + "/resources/pictures/picture" + std::to_string(id) + ".bmpres");
        EXPECT_TRUE(ResourceBytes(RT_BITMAP, MAKEINTRESOURCE(id)) == file);
    }
    EXPECT_TRUE(ResourceBytes(RT_ICON, MAKEINTRESOURCE(1)) == ReadFileBytes(source + "/resources/icons/icon1.icores"));
    EXPECT_TRUE(ResourceBytes(RT_ICON, MAKEINTRESOURCE(2)) == ReadFileBytes(source + "/resources/icons/icon2.icores"));
    EXPECT_TRUE(ResourceBytes(RT_GROUP_ICON, "DUDEZ") == ReadFileBytes(source + "/resources/icons/group.icores"));
}

TEST(Generator, DesktopIconsArePngsOfTheirSize) {
    const std::string source = SourceDir();
    if (source.empty()) GTEST_SKIP() << "source tree not known";
    for (std::uint32_t size : {32u, 48u, 64u, 128u}) {
        SCOPED_TRACE(size);
        const Bytes png = ReadFileBytes(source + "/resources/icons/dudez-" + std::to_string(size) + ".png");
        const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        ASSERT_GE(png.size(), 33u);
        EXPECT_TRUE(Bytes(png.begin(), png.begin() + 8) == signature);
        EXPECT_EQ(BigEndian32(png, 8), 13u);  // IHDR length
        EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
        EXPECT_EQ(BigEndian32(png, 16), size);
        EXPECT_EQ(BigEndian32(png, 20), size);
        EXPECT_EQ(png[24], 8);  // bits per channel
        EXPECT_EQ(png[25], 6);  // red, green, blue and alpha
        // Every pixel row (a filter byte and four bytes a pixel) is there, stored uncompressed.
        EXPECT_GT(png.size(), size * (1 + 4 * size));
    }
}
