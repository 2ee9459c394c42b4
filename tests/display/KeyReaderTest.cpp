// The terminal's key table: what each key a terminal sends becomes, whole or in pieces, so that a
// key mapped to the wrong one fails here rather than only in a terminal under tmux.
#include "platform/user/WinMessages.h"
#include "platform/display/terminal/KeyReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::display::terminal::KeyReader;
using platform::display::terminal::TerminalEvent;

// Every event the bytes give, fed in one go or one byte at a time, with a pause at the end.
std::vector<TerminalEvent> Events(const std::string& bytes, bool byteByByte) {
    KeyReader reader;
    std::vector<TerminalEvent> events;
    TerminalEvent event;
    const std::size_t step = byteByByte ? 1 : bytes.size();
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        reader.Feed(bytes.data() + at, std::min(step, bytes.size() - at));
        while (reader.Next(&event, false)) events.push_back(event);
    }
    while (reader.Next(&event, true)) events.push_back(event);
    return events;
}

std::vector<unsigned> Keys(const std::string& bytes, bool byteByByte) {
    std::vector<unsigned> keys;
    for (const TerminalEvent& event : Events(bytes, byteByByte)) {
        EXPECT_EQ(event.kind, TerminalEvent::Kind::Key);
        keys.push_back(event.virtualKey);
    }
    return keys;
}

} // namespace

TEST(KeyTable, EachKeyBecomesItsOwnVirtualKey) {
    const struct {
        const char* name;
        std::string bytes;
        unsigned key;
    } table[] = {
        {"Page Up", "\x1b[5~", VK_PRIOR},      {"Page Down", "\x1b[6~", VK_NEXT},
        {"Right", "\x1b[C", VK_RIGHT},         {"Left", "\x1b[D", VK_LEFT},
        {"Up", "\x1b[A", VK_UP},               {"Down", "\x1b[B", VK_DOWN},
        {"Home", "\x1b[H", VK_HOME},           {"End", "\x1b[F", VK_END},
        {"Right (application)", "\x1bOC", VK_RIGHT}, {"Left (application)", "\x1bOD", VK_LEFT},
        {"Right with Shift", "\x1b[1;2C", VK_RIGHT}, {"Return", "\r", VK_RETURN},
        {"Enter", "\n", VK_RETURN},            {"Tab", "\t", VK_TAB},
        {"Space", " ", VK_SPACE},              {"Escape", "\x1b", VK_ESCAPE},
    };
    for (const auto& row : table) {
        for (bool byteByByte : {false, true}) {
            EXPECT_EQ(Keys(row.bytes, byteByByte), std::vector<unsigned>{row.key})
                << row.name << (byteByByte ? ", one byte at a time" : "");
        }
    }
}

TEST(KeyTable, KeysInARowKeepTheirOrderAndUnknownOnesAreDropped) {
    // Letters, other function keys and a broken sequence mean nothing; what follows them counts.
    const std::string bytes = "a\x1b[6~q\x1b[15~\x1b[5~\x1b[\x01\x1b[D\x1bx";
    const std::vector<unsigned> expected = {VK_NEXT, VK_PRIOR, VK_LEFT, VK_ESCAPE};
    EXPECT_EQ(Keys(bytes, false), expected);
    EXPECT_EQ(Keys(bytes, true), expected);
}

TEST(KeyTable, OnlyTheLeftButtonClicks) {
    const std::vector<TerminalEvent> events = Events("\x1b[<0;12;3M\x1b[<64;1;1M\x1b[<0;12;3m", false);
    ASSERT_EQ(events.size(), 2u) << "the wheel is no click";
    EXPECT_EQ(events[0].kind, TerminalEvent::Kind::MousePress);
    EXPECT_EQ(events[1].kind, TerminalEvent::Kind::MouseRelease);
    EXPECT_EQ(events[0].column, 11);
    EXPECT_EQ(events[0].row, 2);
}
