#include "platform/display/terminal/KeyReader.h"

#include "platform/user/WinMessages.h"

#include <cctype>
#include <cstdlib>

namespace platform::display::terminal {
namespace {

enum class Parse { Complete, Incomplete, Invalid };

// A CSI sequence "ESC [ params final" starting at `text`; `length` gets its size.
Parse ParseCsi(const std::string& text, std::size_t* length, std::string* params, char* final) {
    std::size_t i = 2;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x40 && c <= 0x7E) {
            *params = text.substr(2, i - 2);
            *final = static_cast<char>(c);
            *length = i + 1;
            return Parse::Complete;
        }
        if (c < 0x20 || c > 0x3F) return Parse::Invalid;
        ++i;
        if (i > 32) return Parse::Invalid;
    }
    return Parse::Incomplete;
}

unsigned CursorKey(char final) {
    switch (final) {
    case 'C': return VK_RIGHT;
    case 'D': return VK_LEFT;
    case 'A': return VK_UP;
    case 'B': return VK_DOWN;
    case 'H': return VK_HOME;
    case 'F': return VK_END;
    default: return 0;
    }
}

// "<b;x;y" of an SGR mouse report; false for anything else.
bool ParseMouse(const std::string& params, int* button, int* x, int* y) {
    if (params.size() < 2 || params[0] != '<') return false;
    char* end = nullptr;
    const char* p = params.c_str() + 1;
    long values[3];
    for (int k = 0; k < 3; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        values[k] = std::strtol(p, &end, 10);
        p = end;
        if (k < 2) {
            if (*p != ';') return false;
            ++p;
        }
    }
    if (*p != '\0') return false;
    *button = static_cast<int>(values[0]);
    *x = static_cast<int>(values[1]);
    *y = static_cast<int>(values[2]);
    return true;
}

} // namespace

bool KeyReader::Next(TerminalEvent* event, bool flushPending) {
    while (!mPending.empty()) {
        const unsigned char first = static_cast<unsigned char>(mPending[0]);
        *event = TerminalEvent{};
        if (first != 0x1B) {
            mPending.erase(0, 1);
            switch (first) {
            case '\r':
            case '\n': event->virtualKey = VK_RETURN; return true;
            case '\t': event->virtualKey = VK_TAB; return true;
            case ' ': event->virtualKey = VK_SPACE; return true;
            case 0x03: event->kind = TerminalEvent::Kind::Interrupt; return true;
            default: continue;   // letters and the rest mean nothing to the window
            }
        }
        if (mPending.size() == 1) {
            if (!flushPending) return false;
            mPending.clear();
            event->virtualKey = VK_ESCAPE;
            return true;
        }
        const char second = mPending[1];
        if (second == 'O') {   // cursor keys in application mode: ESC O C
            if (mPending.size() < 3) {
                if (!flushPending) return false;
                mPending.clear();
                continue;
            }
            const unsigned key = CursorKey(mPending[2]);
            mPending.erase(0, 3);
            if (!key) continue;
            event->virtualKey = key;
            return true;
        }
        if (second != '[') {
            // Escape followed by something else: the Escape key, then that byte on its own.
            mPending.erase(0, 1);
            event->virtualKey = VK_ESCAPE;
            return true;
        }
        std::size_t length = 0;
        std::string params;
        char final = 0;
        const Parse parse = ParseCsi(mPending, &length, &params, &final);
        if (parse == Parse::Incomplete) {
            if (!flushPending) return false;
            mPending.clear();
            continue;
        }
        if (parse == Parse::Invalid) {
            mPending.erase(0, 2);
            continue;
        }
        mPending.erase(0, length);
        if (final == '~') {
            if (params == "5") event->virtualKey = VK_PRIOR;
            else if (params == "6") event->virtualKey = VK_NEXT;
            else continue;
            return true;
        }
        int button = 0, x = 0, y = 0;
        if ((final == 'M' || final == 'm') && ParseMouse(params, &button, &x, &y)) {
            // Only the left button, not wheel or motion reports.
            if ((button & ~(4 | 8 | 16)) != 0) continue;
            event->kind = final == 'M' ? TerminalEvent::Kind::MousePress
                                       : TerminalEvent::Kind::MouseRelease;
            event->column = x - 1;
            event->row = y - 1;
            return true;
        }
        if (params.empty() || params == "1" || params.rfind("1;", 0) == 0) {
            if (const unsigned key = CursorKey(final)) {
                event->virtualKey = key;
                return true;
            }
        }
    }
    return false;
}

} // namespace platform::display::terminal
