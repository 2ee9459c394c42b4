// Names as the program writes them for people and for scripts. A file name may hold any byte
// but '/' and NUL: written raw, a newline would split a report line (or forge one), and an
// escape sequence would move the cursor or rename the terminal's title. Such bytes are written
// as visible escapes instead; a name without them is written as it is.
//
//     std::string line = platform::EscapeName(name, platform::NameUse::Report) + ": wrote ...";
//
// What is escaped: the control bytes 0x00-0x1F but tab, 0x7F, and, when the locale's characters
// are UTF-8, the control characters U+0080-U+009F (each of their two bytes). A newline becomes
// `\n`, a carriage return `\r`, every other one `\xHH` (two lower-case hex digits).
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class NameUse {
    // The report read by scripts: a backslash is written `\\` too, so the escapes can be undone
    // exactly (bash's printf '%b', Python's codecs.escape_decode).
    Report,
    // Everything else (the headless message line, traces, the displays): a backslash is an
    // ordinary character of a name here and is written as it is.
    Message,
};

// The name with its control characters escaped; `utf8` tells whether U+0080-U+009F count.
std::string EscapeName(std::string_view name, NameUse use, bool utf8);

// The same with the characters of the process's locale (LC_ALL, LC_CTYPE, LANG, as the
// terminal display reads them).
std::string EscapeName(std::string_view name, NameUse use);

// Whether the locale's characters are UTF-8, judged once.
bool LocaleIsUtf8();

} // namespace platform
