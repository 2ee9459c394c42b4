#include "platform/display/terminal/TerminalKind.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>
#include <string_view>

namespace platform::display::terminal {
namespace {

std::string Lower(const char* value) {
    std::string text(value ? value : "");
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Set(const char* value) {
    return value && *value;
}

// Terminals that follow xterm in what this display uses of it: the alternate screen (1049),
// the cursor's visibility (25), SGR mouse reports (1000, 1006) and UTF-8 line drawing. A name
// counts when it is one of these or starts with one and a dash (xterm-256color, screen.xterm
// does not).
bool XtermLike(const std::string& term) {
    static const char* const kFamilies[] = {"xterm", "screen", "tmux", "rxvt", "alacritty", "kitty", "foot",
                                            "st", "konsole", "gnome", "vte", "putty", "wezterm", "iterm",
                                            "iterm2", "contour", "mlterm", "mintty"};
    return std::any_of(std::begin(kFamilies), std::end(kFamilies), [&term](std::string_view family) {
        return term.starts_with(family) && (term.size() == family.size() || term[family.size()] == '-');
    });
}

ColourMode ColoursOf(const std::string& term, const std::string& colorTerm) {
    if (colorTerm == "truecolor" || colorTerm == "24bit" || term.find("direct") != std::string::npos)
        return ColourMode::TrueColour;
    if (term.find("256color") != std::string::npos) return ColourMode::Palette256;
    // A plain "xterm" is what most emulators of today call themselves, and they all take 256.
    if (term == "xterm" || term.rfind("xterm-", 0) == 0) return ColourMode::Palette256;
    return ColourMode::Basic16;
}

} // namespace

TerminalKind KindOfTerminal(const std::function<const char*(const char*)>& environment) {
    TerminalKind kind;
    const std::string term = Lower(environment("TERM"));
    // A dumb terminal (an editor's shell buffer, a log) only writes lines one after another.
    if (term.empty() || term == "dumb") return kind;
    kind.addressable = true;
    kind.rich = XtermLike(term);

    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        locale = environment(name);
        if (Set(locale)) break;
    }
    const std::string charset = Lower(locale);
    kind.utf8 = charset.find("utf-8") != std::string::npos || charset.find("utf8") != std::string::npos;

    // NO_COLOR: set to anything but the empty text, it asks for no colour and nothing else.
    if (kind.rich && !Set(environment("NO_COLOR"))) kind.colours = ColoursOf(term, Lower(environment("COLORTERM")));
    return kind;
}

} // namespace platform::display::terminal
