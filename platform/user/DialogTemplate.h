// The dialog template resource: how a dialog window and its controls are laid down as bytes.
//
// The layout is the platform's own (the classic, non-extended template), all numbers
// little-endian:
//
//     DWORD style, DWORD extended style, WORD control count, SHORT x, y, cx, cy
//     menu, class:  WORD 0 (none) | WORD 0xFFFF, WORD number | UTF-16 text, terminated
//     caption:      UTF-16 text, terminated
//     with DS_SETFONT: WORD point size, UTF-16 font name, terminated
//     then per control, each starting on a 4-byte boundary (counted from the template's start):
//     DWORD style, DWORD extended style, SHORT x, y, cx, cy, WORD id,
//     class:        WORD 0xFFFF, WORD number (0x80 button, 0x82 static, ...) | UTF-16 text
//     text:         WORD 0xFFFF, WORD number | UTF-16 text
//     WORD n, then n bytes of creation data
//
// Positions and sizes are dialog units: a quarter of the font's average character width
// across, an eighth of its height down. This display gives a font of p points the base units
// (4p + 2) / 5 across and (8p + 2) / 5 down, which is 8 x 16 pixels for 10 points (so a
// dialog unit is 2 x 2 pixels) and 6 x 13 for 8 points; without DS_SETFONT the system font's
// 8 x 16 is used.
//
// Texts here are bytes; each byte becomes one UTF-16 unit (and back), so 8-bit texts survive.
//
//     static const platform::DialogItemSpec items[] = {
//         {1000, "msctls_progress32", WS_CHILD | WS_VISIBLE, 7, 98, 122, 14, "Progress"}};
//     static const std::vector<unsigned char> bytes = platform::WriteDialogTemplate(
//         {style, 0, 0, 0, 215, 119, "DUDEZ", "Caption", 10, "MS Sans Serif", items, 1});
#pragma once

#include "platform/runtime/WinTypes.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct DialogItemSpec {
    int id;
    const char* className;     // a class name; "button" and "static" are written as numbers
    DWORD style;
    int x, y, width, height;   // dialog units
    const char* text;          // null or empty: no text
    DWORD exStyle = 0;
};

struct DialogSpec {
    DWORD style;               // DS_SETFONT is added when `font` is set
    DWORD exStyle;
    int x, y, width, height;   // dialog units
    const char* className;     // null: the system's dialog class
    const char* caption;
    int pointSize;             // with `font`
    const char* font;          // null: no font
    const DialogItemSpec* items;
    std::size_t count;
};

std::vector<unsigned char> WriteDialogTemplate(const DialogSpec& spec);

struct DialogItemLayout {
    int id = 0;
    std::string className;     // numbered classes by their names: "button", "static", ...
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string text;          // empty when the text is a number (an icon's resource id)
};

struct DialogLayout {
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    bool hasMenu = false;      // menus are not shown here
    std::string className;     // empty: the system's dialog class
    std::string caption;
    int pointSize = 0;         // with DS_SETFONT
    std::string font;
    std::vector<DialogItemLayout> items;
};

// False when the bytes are not a whole template (anything would run past `size`).
bool ReadDialogTemplate(const void* data, std::size_t size, DialogLayout* layout);

} // namespace platform
