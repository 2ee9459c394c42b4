#include "platform/display/DisplayText.h"

#include "platform/text/EscapedName.h"

#include <algorithm>
#include <cstddef>

namespace platform::display {
namespace {

// The character of the well-formed sequence that `bytes` start with, and its length; length 0
// when they do not start with one.
char32_t DecodeOne(std::string_view bytes, std::size_t* length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    *length = lead < 0x80 ? 1 : 0;
    if (lead < 0x80) return lead;
    std::size_t count = 0;
    char32_t value = 0;
    char32_t least = 0;   // the smallest character a sequence of this length may spell
    if (lead >= 0xC2 && lead <= 0xDF) count = 2, value = lead & 0x1F, least = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) count = 3, value = lead & 0x0F, least = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) count = 4, value = lead & 0x07, least = 0x10000;
    else return 0;
    if (bytes.size() < count) return 0;
    for (std::size_t i = 1; i < count; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *length = count;
    return value;
}

} // namespace

std::u32string DisplayCharacters(std::string_view text) {
    // Both displays read UTF-8, whatever the locale: the controls of a name are shown as the
    // report and the message lines write them.
    const std::string escaped = EscapeName(text, NameUse::Message, true);
    const std::string_view bytes = escaped;
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = 0;
        const char32_t c = DecodeOne(bytes.substr(at), &length);
        // A byte that starts no character stands for itself alone; a tab, the one control
        // character left, would move the cursor: it shows as the replacement too.
        const bool control = c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
        out += length == 0 || control ? kReplacement : c;
        at += std::max<std::size_t>(length, 1);
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view characters) {
    std::string out;
    out.reserve(characters.size());
    for (char32_t c : characters) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
        // The lead byte tells how many continuation bytes follow, six bits in each.
        constexpr char32_t kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
        const int following = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out += static_cast<char>(kLead[following] | (c >> (6 * following)));
        for (int i = following - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
    }
    return out;
}

std::u32string KeepEnd(const std::u32string& text, int width, const std::u32string& ellipsis,
                       const std::function<int(char32_t)>& widthOf) {
    int total = 0;
    for (char32_t c : text) total += widthOf(c);
    if (total <= width) return text;
    int room = width;
    for (char32_t c : ellipsis) room -= widthOf(c);
    if (room < 0) return std::u32string();
    // Characters are taken from the end while they fit. A character of no width (a combining
    // mark) goes with the one before it, so an accent is never shown without its letter.
    std::size_t start = text.size();
    while (start > 0) {
        std::size_t take = start - 1;
        int needed = widthOf(text[take]);
        while (take > 0 && widthOf(text[take]) == 0) {
            --take;
            needed += widthOf(text[take]);
        }
        if (needed > room) break;
        room -= needed;
        start = take;
    }
    return ellipsis + text.substr(start);
}

std::vector<RowSpan> WrapRows(std::size_t count, const std::function<bool(std::size_t start, std::size_t end)>& fits,
                              const std::function<bool(std::size_t at)>& isSpace) {
    std::vector<RowSpan> rows;
    std::size_t start = 0;
    while (start < count) {
        std::size_t end = start;
        while (end < count && fits(start, end + 1)) ++end;
        if (end < count) {
            // The character at `end` did not fit: break at the last space up to it.
            std::size_t space = end;
            while (space > start && !isSpace(space)) --space;
            if (space > start) end = space;
            else if (end == start) end = start + 1;   // a character wider than the row
        }
        rows.push_back(RowSpan{start, end});
        start = end;
        while (start < count && isSpace(start)) ++start;
    }
    if (rows.empty()) rows.push_back(RowSpan{});
    return rows;
}

} // namespace platform::display
