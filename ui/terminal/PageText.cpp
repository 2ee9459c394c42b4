#include "ui/terminal/PageText.h"

#include "platform/runtime/Kernel.h"
#include "platform/resources/Resources.h"

#include <cstdlib>
#include <sstream>

namespace ui::terminal {
namespace {

bool ParseColour(const std::string& text, std::int32_t* colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    char* end = nullptr;
    const long value = std::strtol(text.c_str() + 1, &end, 16);
    if (*end != '\0') return false;
    *colour = static_cast<std::int32_t>(value);
    return true;
}

} // namespace

std::optional<PageText> ParsePageText(std::string_view bytes) {
    std::istringstream in{std::string(bytes)};
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() < 4 || lines[0].empty() || !lines[3].empty()) return std::nullopt;
    PageText page;
    page.title = lines[0];
    std::int32_t* colours[] = {&page.top, &page.bottom, &page.titleColour, &page.bodyColour, &page.accent};
    // Five colours, one space between each two; what follows them is not read.
    std::istringstream words(lines[1]);
    std::string word;
    for (std::int32_t* colour : colours)
        if (!std::getline(words, word, ' ') || !ParseColour(word, colour)) return std::nullopt;
    page.number = lines[2];
    page.lines.assign(lines.begin() + 4, lines.end());
    while (!page.lines.empty() && page.lines.back().empty()) page.lines.pop_back();
    return page;
}

void PageCatalog::Load() {
    mLoaded = true;
    HMODULE module = GetModuleHandleA(nullptr);
    for (int id : platform::NumberedResources(RT_RCDATA)) {
        HRSRC words = FindResourceA(module, MAKEINTRESOURCE(id), RT_RCDATA);
        // Only the words of a picture are a page.
        if (!words || !FindResourceA(module, MAKEINTRESOURCE(id), RT_BITMAP)) continue;
        const auto* text = static_cast<const char*>(LockResource(LoadResource(module, words)));
        std::optional<PageText> page = ParsePageText(std::string_view(text, SizeofResource(module, words)));
        if (page) mEntries.push_back(Entry{id, std::move(*page)});
    }
}

const PageText* PageCatalog::Shown(int id) {
    if (!mLoaded) Load();
    for (const Entry& entry : mEntries)
        if (entry.id == id) return &entry.text;
    return nullptr;
}

} // namespace ui::terminal
