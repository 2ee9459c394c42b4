// The pages' words: read from their resources, and found by the number of the picture shown.
#include "platform/runtime/Kernel.h"
#include "platform/resources/Resources.h"
#include "resources/ProgramResources.h"
#include "ui/terminal/PageText.h"

#include <gtest/gtest.h>

namespace {

using namespace ui::terminal;

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

TEST(PageCatalog, FindsTheWordsOfThePictureShown) {
    RegisterPictures();
    PageCatalog pages;
    for (int id = 116; id <= 124; ++id) {
        SCOPED_TRACE(id);
        const PageText* page = pages.Shown(id);
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
    // No picture shown yet, or a number that is no picture's: no page.
    EXPECT_EQ(pages.Shown(0), nullptr);
    EXPECT_EQ(pages.Shown(125), nullptr);
}

} // namespace
