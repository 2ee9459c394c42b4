#include "platform/display/terminal/Terminfo.h"

#if DUDEZ_HAVE_TINFO
#include "platform/runtime/SharedLibrary.h"

#include <curses.h>
#include <term.h>

#include <mutex>

namespace platform::display::terminal {
namespace {

// libtinfo is loaded when a terminal is first looked up, not at every start: a run from a script
// or a desktop draws no terminal, and a start that maps one library fewer is a tenth of a
// millisecond or more sooner. Its soname is the one its -dev package links against; the types
// come from its header.
struct TinfoLibrary {
#define DUDEZ_TINFO_FUNCTIONS(X) \
    X(use_extended_names) X(setupterm) X(tigetstr) X(tigetnum) X(tigetflag) X(set_curterm) X(del_curterm)
    DUDEZ_TINFO_FUNCTIONS(DUDEZ_LIBRARY_POINTER)
    bool loaded = false;

    TinfoLibrary() {
        void* library = platform::OpenSharedLibrary("libtinfo.so.6");
        if (!library) return;
        bool found = true;
        DUDEZ_TINFO_FUNCTIONS(DUDEZ_LIBRARY_FIND)
        loaded = found;
    }
};

// Loaded once, on first use (a function-local static: safe from any thread).
const TinfoLibrary& Library() {
    static const TinfoLibrary library;
    return library;
}

// A string capability, empty when the entry lacks it or the name is not a string capability.
// Padding ("$<5>", a delay for terminals on slow lines) is taken out: the display writes the
// strings as they are, and a terminal emulator needs no delay.
std::string StringCapability(const char* name) {
    const char* value = Library().tigetstr(name);
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
    const TinfoLibrary& tinfo = Library();
    // Without the library there is no database: the names alone tell.
    if (!tinfo.loaded) return std::nullopt;
    // The flags RGB and Tc are user-defined capabilities, which only the extended names read.
    tinfo.use_extended_names(TRUE);
    int error = 0;
    // With an error pointer, a missing entry is reported rather than ending the process. No
    // file descriptor: the terminal's size is read elsewhere.
    if (tinfo.setupterm(term.c_str(), -1, &error) != OK) return std::nullopt;
    TerminfoEntry entry;
    entry.cursorAddress = !StringCapability("cup").empty();
    const int colours = tinfo.tigetnum("colors");
    entry.colours = colours > 0 ? colours : 0;
    entry.directColour = tinfo.tigetflag("RGB") > 0 || tinfo.tigetflag("Tc") > 0;
    entry.enterScreen = StringCapability("smcup");
    entry.leaveScreen = StringCapability("rmcup");
    entry.hideCursor = StringCapability("civis");
    entry.showCursor = StringCapability("cnorm");
    entry.mouse = !StringCapability("kmous").empty();
    // The entry just loaded is the current one; taken off, it is freed.
    tinfo.del_curterm(tinfo.set_curterm(nullptr));
    return entry;
}

} // namespace platform::display::terminal

#else
// Built without libtinfo: no database, the names alone tell.
std::optional<platform::display::terminal::TerminfoEntry> platform::display::terminal::ReadTerminfo(const std::string&) {
    return std::nullopt;
}
#endif
