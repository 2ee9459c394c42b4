// Turns the bytes a terminal in raw mode sends into the keys and mouse clicks the window takes.
//
//     KeyReader reader;
//     reader.Feed(bytes, count);
//     TerminalEvent event;
//     while (reader.Next(&event, /*flushPending=*/false)) Handle(event);
//
// Escape is also the first byte of every multi-byte sequence, so a lone Escape is only known as
// such when nothing follows it for a moment: the caller then asks again with flushPending set.
#pragma once

#include <cstddef>
#include <string>

namespace platform::display::terminal {

struct TerminalEvent {
    enum class Kind { Key, Interrupt, Suspend, MousePress, MouseRelease };
    Kind kind = Kind::Key;
    unsigned virtualKey = 0;  // Key: the virtual-key code
    int column = 0;           // mouse: 0-based cell of the pointer
    int row = 0;
};

class KeyReader {
public:
    void Feed(const char* bytes, std::size_t count) { mPending.append(bytes, count); }
    // The next complete event; false when none is complete yet. With flushPending, an Escape
    // that nothing completed counts as the Escape key and any unfinished sequence is dropped.
    bool Next(TerminalEvent* event, bool flushPending);
    // Bytes that may still become a sequence.
    bool HasPending() const { return !mPending.empty(); }

private:
    std::string mPending;
};

} // namespace platform::display::terminal
