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
//     if (const PageText* page = pages.Shown(surface)) Draw(page->title, ...);
#pragma once

#include "platform/user/Model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::display::terminal {

struct PageText {
    std::string title;
    std::string number;               // "3/9"
    std::int32_t top = 0, bottom = 0; // the background's colours, 0xRRGGBB
    std::int32_t titleColour = 0, bodyColour = 0, accent = 0;
    std::vector<std::string> lines;   // the body's lines as written; {braces} mark words
};

// The page in `bytes`, or nothing when they are not in the form above.
std::optional<PageText> ParsePageText(std::string_view bytes);

// The pages of the program's resources, and which of them a drawn surface shows.
class PageCatalog {
public:
    // The page whose picture `surface` shows from its top-left corner; null when it shows none
    // of them (nothing drawn yet, or something else). Pixels are compared at a grid of points,
    // cheap enough for every frame.
    const PageText* Shown(const SurfaceView& surface);

private:
    struct Entry {
        PageText text;
        const std::uint8_t* bitmap = nullptr;   // the picture's resource: header, colours, pixels
    };
    void Load();

    bool mLoaded = false;
    std::vector<Entry> mEntries;
};

} // namespace platform::display::terminal
