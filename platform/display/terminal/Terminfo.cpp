#include "platform/display/terminal/Terminfo.h"

#if DUDEZ_HAVE_TINFO
#include <curses.h>
#include <term.h>

#include <mutex>

namespace platform::display::terminal {
namespace {

// A string capability, empty when the entry lacks it or the name is not a string capability.
// Padding ("$<5>", a delay for terminals on slow lines) is taken out: the display writes the
// strings as they are, and a terminal emulator needs no delay.
std::string StringCapability(const char* name) {
    const char* value = tigetstr(name);
    if (!value || value == reinterpret_cast<char*>(-1)) return {};
    std::string text(value);
    for (std::size_t at = text.find("$<"); at != std::string::npos; at = text.find("$<", at)) {
        const std::size_t end = text.find('>', at);
        if (end == std::string::npos) break;
        text.erase(at, end - at + 1);
    }
    return text;
}

} // namespace

std::optional<TerminfoEntry> ReadTerminfo(const std::string& term) {
    // libtinfo keeps the loaded entry in one global (cur_term): one look-up at a time.
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    // The flags RGB and Tc are user-defined capabilities, which only the extended names read.
    use_extended_names(TRUE);
    int error = 0;
    // With an error pointer, a missing entry is reported rather than ending the process. No
    // file descriptor: the terminal's size is read elsewhere.
    if (setupterm(term.c_str(), -1, &error) != OK) return std::nullopt;
    TerminfoEntry entry;
    entry.cursorAddress = !StringCapability("cup").empty();
    const int colours = tigetnum("colors");
    entry.colours = colours > 0 ? colours : 0;
    entry.directColour = tigetflag("RGB") > 0 || tigetflag("Tc") > 0;
    entry.enterScreen = StringCapability("smcup");
    entry.leaveScreen = StringCapability("rmcup");
    entry.hideCursor = StringCapability("civis");
    entry.showCursor = StringCapability("cnorm");
    entry.mouse = !StringCapability("kmous").empty();
    TERMINAL* loaded = cur_term;
    set_curterm(nullptr);
    del_curterm(loaded);
    return entry;
}

} // namespace platform::display::terminal

#else
// Built without libtinfo: no database, the names alone tell.
std::optional<platform::display::terminal::TerminfoEntry> platform::display::terminal::ReadTerminfo(const std::string&) {
    return std::nullopt;
}
#endif
