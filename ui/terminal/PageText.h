// The words of the program's pictures, for a terminal: a picture of 400 x 120 pixels squeezed
// into character cells cannot be read, so the terminal shows the words of the page instead.
// Each picture (a bitmap resource) has them in a data resource of the same number, made with
// the picture (tools/make-pictures):
//
//     Title of the page
//     #rrggbb #rrggbb #rrggbb #rrggbb #rrggbb     background top and bottom, title, body, accent
//     3/9                                         the page's number as the picture shows it
//                                                 an empty line
//     Body lines, with {marked} words as the picture highlights them.
//
//     PageCatalog pages;
//     if (const PageText* page = pages.Shown(ShownPicture())) Draw(page->title, ...);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui::terminal {

struct PageText {
    std::string title;
    std::string number;               // "3/9"
    std::int32_t top = 0, bottom = 0; // the background's colours, 0xRRGGBB
    std::int32_t titleColour = 0, bodyColour = 0, accent = 0;
    std::vector<std::string> lines;   // the body's lines as written; {braces} mark words
};

// The page in `bytes`, or nothing when they are not in the form above.
std::optional<PageText> ParsePageText(std::string_view bytes);

// The pages of the program's resources, each found by the number of its picture.
class PageCatalog {
public:
    // The page of picture `id` (the picture panel says which it shows); null for a number that
    // is no picture's with words (0: none shown yet).
    const PageText* Shown(int id);

private:
    struct Entry {
        int id = 0;             // the number of the picture and of its words
        PageText text;
    };
    void Load();

    bool mLoaded = false;
    std::vector<Entry> mEntries;
};

} // namespace ui::terminal
