// Names written for people and scripts: what is escaped, in which use and locale, and that
// everything else passes untouched.
#include "platform/text/EscapedName.h"

#include <gtest/gtest.h>

namespace {

using platform::EscapeName;
using platform::NameUse;

TEST(EscapeName, ControlBytesBecomeVisibleAndTheRestStays) {
    const std::string hostile = "rec.kob\nimportant.kob: wrote x\r\x1b]0;title\x07\x1b[2J\x7f\x01\tend";
    EXPECT_EQ(EscapeName(hostile, NameUse::Message, true),
              "rec.kob\\nimportant.kob: wrote x\\r\\x1b]0;title\\x07\\x1b[2J\\x7f\\x01\tend");
    // Spaces, accents, quotes and a name that looks like an escape are names like any other.
    const std::string plain = "M\xC3\xA4rz 'live' \"take\" 100% $HOME*.kob";
    EXPECT_EQ(EscapeName(plain, NameUse::Report, true), plain);
}

TEST(EscapeName, OnlyTheReportDoublesTheBackslash) {
    EXPECT_EQ(EscapeName("a\\nb\\x1b", NameUse::Report, true), "a\\\\nb\\\\x1b");
    EXPECT_EQ(EscapeName("a\\nb\\x1b", NameUse::Message, true), "a\\nb\\x1b");
}

// U+0080-U+009F are controls only for a UTF-8 terminal; in another locale their bytes may be
// part of a character and stay. Other characters of two bytes never count, nor a cut-off lead.
TEST(EscapeName, C1ControlsCountInAUtf8LocaleOnly) {
    const std::string name = "a\xC2\x9B" "2J\xC2\x85z\xC2\xA0\xC3\x9B\xC2";
    EXPECT_EQ(EscapeName(name, NameUse::Report, true), "a\\xc2\\x9b2J\\xc2\\x85z\xC2\xA0\xC3\x9B\xC2");
    EXPECT_EQ(EscapeName(name, NameUse::Report, false), name);
}

} // namespace
