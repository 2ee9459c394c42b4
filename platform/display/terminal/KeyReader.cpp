#include "platform/display/terminal/KeyReader.h"

#include "platform/user/WinMessages.h"

#include <charconv>
#include <cstring>

namespace platform::display::terminal {
namespace {

// The length of the sequence `text` starts with (an Escape): ESC O and a key (cursor keys in
// application mode), ESC [ params final, or 1 for an Escape followed by anything else. 0 while
// it is incomplete; npos for a CSI sequence broken off by a byte it cannot hold.
std::size_t SequenceLength(const std::string& text) {
    if (text.size() < 2) return 0;
    if (text[1] == 'O') return text.size() < 3 ? 0 : 3;
    if (text[1] != '[') return 1;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x40 && c <= 0x7E) return i + 1;
        if (c < 0x20 || c > 0x3F || i >= 32) return std::string::npos;
    }
    return 0;
}

unsigned CursorKey(char final) {
    static constexpr char kFinals[] = "CDABHF";
    static constexpr unsigned kKeys[] = {VK_RIGHT, VK_LEFT, VK_UP, VK_DOWN, VK_HOME, VK_END};
    const char* at = final ? std::strchr(kFinals, final) : nullptr;
    return at ? kKeys[at - kFinals] : 0;
}

// "<b;x;y" of an SGR mouse report, each number digits alone; false for anything else.
bool ParseMouse(const std::string& params, unsigned long values[3]) {
    if (params.empty() || params[0] != '<') return false;
    const char* p = params.data() + 1;
    const char* end = params.data() + params.size();
    for (int k = 0; k < 3; ++k) {
        const auto [next, error] = std::from_chars(p, end, values[k]);
        if (error != std::errc() || (k < 2 ? next == end || *next != ';' : next != end)) return false;
        p = next + 1;
    }
    return true;
}

} // namespace

bool KeyReader::Next(TerminalEvent* event, bool flushPending) {
    while (!mPending.empty()) {
        const char first = mPending[0];
        *event = TerminalEvent{};
        if (first != '\x1b') {
            mPending.erase(0, 1);
            switch (first) {
            case '\r':
            case '\n': event->virtualKey = VK_RETURN; return true;
            case '\t': event->virtualKey = VK_TAB; return true;
            case ' ': event->virtualKey = VK_SPACE; return true;
            case 0x03: event->kind = TerminalEvent::Kind::Interrupt; return true;
            case 0x1A: event->kind = TerminalEvent::Kind::Suspend; return true;   // Ctrl-Z
            default: continue;   // letters and the rest mean nothing to the window
            }
        }
        const std::size_t length = SequenceLength(mPending);
        if (length == 0 && !flushPending) return false;
        if (length == 0 && mPending.size() > 1) {
            mPending.clear();   // a sequence that nothing completed is dropped
            continue;
        }
        if (length <= 1) {
            // Escape alone, or followed by a byte that starts no sequence: the Escape key, then
            // that byte on its own.
            mPending.erase(0, 1);
            event->virtualKey = VK_ESCAPE;
            return true;
        }
        if (length == std::string::npos) {
            mPending.erase(0, 2);
            continue;
        }
        const std::string params = mPending.substr(2, length - 3);
        const char final = mPending[length - 1];
        mPending.erase(0, length);
        if (final == '~' && (params == "5" || params == "6")) {
            event->virtualKey = params == "5" ? VK_PRIOR : VK_NEXT;
            return true;
        }
        unsigned long mouse[3];
        if ((final == 'M' || final == 'm') && ParseMouse(params, mouse)) {
            // Only the left button, not wheel or motion reports.
            if ((mouse[0] & ~(4UL | 8UL | 16UL)) != 0) continue;
            event->kind = final == 'M' ? TerminalEvent::Kind::MousePress
                                       : TerminalEvent::Kind::MouseRelease;
            event->column = static_cast<int>(mouse[1]) - 1;
            event->row = static_cast<int>(mouse[2]) - 1;
            return true;
        }
        if (params.empty() || params == "1" || params.rfind("1;", 0) == 0) event->virtualKey = CursorKey(final);
        if (event->virtualKey) return true;
    }
    return false;
}

} // namespace platform::display::terminal
