// The pages' words: read from their resources, and found for the picture a surface shows.
#include "platform/runtime/Kernel.h"
#include "platform/resources/Resources.h"
#include "platform/display/terminal/PageText.h"
#include "resources/ProgramResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

using namespace platform::display::terminal;

TEST(PageText, ReadsTitleColoursNumberAndLines) {
    const auto page = ParsePageText("Keys at hand\n#0b2a1a #24623e #f4ffe8 #e4f2e6 #ffe27a\n3/9\n\n{Left}: back\n\nmore\n\n");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->title, "Keys at hand");
    EXPECT_EQ(page->top, 0x0b2a1a);
    EXPECT_EQ(page->bottom, 0x24623e);
    EXPECT_EQ(page->titleColour, 0xf4ffe8);
    EXPECT_EQ(page->bodyColour, 0xe4f2e6);
    EXPECT_EQ(page->accent, 0xffe27a);
    EXPECT_EQ(page->number, "3/9");
    EXPECT_EQ(page->lines, (std::vector<std::string>{"{Left}: back", "", "more"}));
}

TEST(PageText, RefusesWhatIsNotAPage) {
    EXPECT_FALSE(ParsePageText(""));
    EXPECT_FALSE(ParsePageText("Title\n#000000 #000000 #000000 #000000\n1/9\n\nbody\n"));   // four colours
    EXPECT_FALSE(ParsePageText("Title\n#000000 #000000 #000000 #000000 #00000g\n1/9\n\nbody\n"));
    EXPECT_FALSE(ParsePageText("Title\n#000000 #000000 #000000 #000000 #000000\n1/9\nbody\n"));   // no gap
}

// What the picture control holds after the program drew picture `id` into it.
platform::SurfaceView Drawn(int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    const auto* bytes = static_cast<const std::uint8_t*>(
        LockResource(LoadResource(module, FindResourceA(module, MAKEINTRESOURCE(id), RT_BITMAP))));
    platform::SurfaceView surface;
    surface.width = 400;
    surface.height = 120;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 400; ++x) {
            const std::uint8_t* entry = bytes + 40 + 4 * bytes[40 + 1024 + (119 - y) * 400 + x];
            surface.pixels.push_back((std::uint32_t{entry[2]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[0]);
        }
    }
    return surface;
}

TEST(PageCatalog, FindsTheWordsOfThePictureShown) {
    RegisterPictures();
    PageCatalog pages;
    for (int id = 116; id <= 124; ++id) {
        SCOPED_TRACE(id);
        const PageText* page = pages.Shown(Drawn(id));
        ASSERT_NE(page, nullptr);
        // The words of that picture: its own title, number and lines.
        HMODULE module = GetModuleHandleA(nullptr);
        HRSRC resource = FindResourceA(module, MAKEINTRESOURCE(id), RT_RCDATA);
        const auto* text = static_cast<const char*>(LockResource(LoadResource(module, resource)));
        const auto words = ParsePageText(std::string_view(text, SizeofResource(module, resource)));
        ASSERT_TRUE(words);
        EXPECT_EQ(page->title, words->title);
        EXPECT_EQ(page->number, words->number);
        EXPECT_EQ(page->lines, words->lines);
        EXPECT_FALSE(page->lines.empty());
    }
    // Nothing drawn yet, or something that is none of the pictures: no page.
    EXPECT_EQ(pages.Shown(platform::SurfaceView{}), nullptr);
    platform::SurfaceView grey = Drawn(120);
    std::fill(grey.pixels.begin(), grey.pixels.end(), 0xC0C0C0u);
    EXPECT_EQ(pages.Shown(grey), nullptr);
    // Half of a picture is not the picture.
    platform::SurfaceView half = Drawn(120);
    for (int y = 0; y < 120; ++y) std::fill_n(half.pixels.begin() + y * 400 + 200, 200, 0xC0C0C0u);
    EXPECT_EQ(pages.Shown(half), nullptr);
}

} // namespace
