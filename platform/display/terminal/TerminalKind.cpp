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

bool AnyColour(const std::string& colorTerm) {
    return colorTerm == "truecolor" || colorTerm == "24bit";
}

// Terminals whose every version takes any colour, though an older database may not say so.
bool TakesAnyColour(const std::string& term) {
    static const char* const kFamilies[] = {"foot", "alacritty", "wezterm", "kitty", "contour", "iterm2"};
    return std::any_of(std::begin(kFamilies), std::end(kFamilies), [&term](std::string_view family) {
        return term.starts_with(family) && (term.size() == family.size() || term[family.size()] == '-');
    });
}

ColourMode ColoursOf(const std::string& term, const std::string& colorTerm) {
    if (AnyColour(colorTerm) || term.find("direct") != std::string::npos || TakesAnyColour(term))
        return ColourMode::TrueColour;
    if (term.find("256color") != std::string::npos) return ColourMode::Palette256;
    // A plain "xterm" is what most emulators of today call themselves, and they all take 256.
    if (term == "xterm" || term.rfind("xterm-", 0) == 0) return ColourMode::Palette256;
    return ColourMode::Basic16;
}

ColourMode ColoursOf(const TerminfoEntry& entry, const std::string& colorTerm) {
    if (entry.colours <= 0) return ColourMode::None;
    if (entry.directColour || AnyColour(colorTerm)) return ColourMode::TrueColour;
    if (entry.colours >= 256) return ColourMode::Palette256;
    return entry.colours >= 8 ? ColourMode::Basic16 : ColourMode::None;
}

// What the names alone tell: an xterm-like terminal has xterm's alternate screen, cursor
// visibility and mouse reports; the others have none of them.
void FromName(TerminalKind& kind, const std::string& term, const std::string& colorTerm) {
    kind.addressable = true;
    kind.rich = XtermLike(term);
    if (!kind.rich) return;
    kind.enterScreen = "\x1b[?1049h";
    kind.leaveScreen = "\x1b[?1049l";
    kind.hideCursor = "\x1b[?25l";
    kind.showCursor = "\x1b[?25h";
    kind.mouse = true;
    kind.colours = ColoursOf(term, colorTerm);
}

void FromEntry(TerminalKind& kind, const TerminfoEntry& entry, const std::string& colorTerm) {
    kind.addressable = entry.cursorAddress;
    kind.rich = !entry.enterScreen.empty();
    kind.enterScreen = entry.enterScreen;
    kind.leaveScreen = entry.leaveScreen;
    // Only a cursor that can be shown again is hidden.
    if (!entry.showCursor.empty()) {
        kind.hideCursor = entry.hideCursor;
        kind.showCursor = entry.showCursor;
    }
    kind.mouse = entry.mouse;
    kind.colours = ColoursOf(entry, colorTerm);
}

} // namespace

TerminalKind KindOfTerminal(const std::function<const char*(const char*)>& environment,
                            const TerminalDatabase& database) {
    TerminalKind kind;
    const char* termValue = environment("TERM");
    const std::string term = Lower(termValue);
    // A dumb terminal (an editor's shell buffer, a log) only writes lines one after another.
    if (term.empty() || term == "dumb") return kind;
    const std::string colorTerm = Lower(environment("COLORTERM"));
    const std::optional<TerminfoEntry> entry = database ? database(termValue) : std::nullopt;
    if (entry) {
        FromEntry(kind, *entry, colorTerm);
    } else {
        FromName(kind, term, colorTerm);
    }
    if (!kind.addressable) return TerminalKind{};

    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        locale = environment(name);
        if (Set(locale)) break;
    }
    const std::string charset = Lower(locale);
    kind.utf8 = charset.find("utf-8") != std::string::npos || charset.find("utf8") != std::string::npos;

    // NO_COLOR: set to anything but the empty text, it asks for no colour and nothing else.
    if (Set(environment("NO_COLOR"))) kind.colours = ColourMode::None;
    return kind;
}

} // namespace platform::display::terminal
