#include "ui/Options.h"

#include <sys/stat.h>

#include <cstring>

namespace {

bool Exists(const char* argument) {
    struct stat status {};
    return ::lstat(argument, &status) == 0;
}

bool LooksLikeOption(const char* argument) {
    return argument[0] == '-' && argument[1] != '\0';
}

ParsedOptions Misuse(std::string reason) {
    ParsedOptions parsed;
    parsed.action = ParsedOptions::Action::Misuse;
    parsed.reason = std::move(reason);
    return parsed;
}

// The first of --help and --version answers, as with other tools.
void Answer(ParsedOptions& parsed, ParsedOptions::Action answer) {
    if (parsed.action == ParsedOptions::Action::Run) parsed.action = answer;
}

// A long option without an argument. False when the name is none of them.
bool TakeLongFlag(const std::string& name, ParsedOptions& parsed) {
    RunOptions& o = parsed.options;
    if (name == "test") o.test = true;
    else if (name == "keep-going") o.keepGoing = true;
    else if (name == "quiet") o.quiet = true;
    else if (name == "rescue") o.rescue = true;
    else if (name == "window") o.window = RunOptions::Window::Always;
    else if (name == "no-window") o.window = RunOptions::Window::Never;
    else if (name == "help") Answer(parsed, ParsedOptions::Action::Help);
    else if (name == "version") Answer(parsed, ParsedOptions::Action::Version);
    else return false;
    return true;
}

bool TakeShortFlag(char letter, ParsedOptions& parsed) {
    RunOptions& o = parsed.options;
    switch (letter) {
    case 't': o.test = true; return true;
    case 'k': o.keepGoing = true; return true;
    case 'q': o.quiet = true; return true;
    case 'h': Answer(parsed, ParsedOptions::Action::Help); return true;
    default: return false;
    }
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

} // namespace

ParsedOptions ParseOptions(int argc, const char* const* argv) {
    ParsedOptions parsed;
    int i = 1;
    for (; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0) {
            ++i;
            break;
        }
        if (!LooksLikeOption(argument) || Exists(argument)) break;

        if (argument[1] == '-') {
            std::string name = argument + 2;
            std::string value;
            const std::size_t equals = name.find('=');
            const bool hasValue = equals != std::string::npos;
            if (hasValue) {
                value = name.substr(equals + 1);
                name.resize(equals);
            }
            if (name == "output-dir") {
                if (!hasValue) {
                    if (i + 1 >= argc) return Misuse("option '--output-dir' needs a folder");
                    value = argv[++i];
                }
                if (value.empty()) return Misuse("option '--output-dir' needs a folder");
                parsed.options.outputFolder = value;
                continue;
            }
            if (hasValue) {
                if (TakeLongFlag(name, parsed)) return Misuse("option '--" + name + "' takes no argument");
                return Misuse("unknown option " + Quoted(argument));
            }
            if (!TakeLongFlag(name, parsed)) return Misuse("unknown option " + Quoted(argument));
            continue;
        }

        // A cluster of short options ("-kq"); -o takes the rest of the cluster or the next
        // argument as its folder.
        for (const char* letter = argument + 1; *letter; ++letter) {
            if (*letter == 'o') {
                std::string value = letter[1] ? letter + 1 : "";
                if (value.empty()) {
                    if (i + 1 >= argc) return Misuse("option '-o' needs a folder");
                    value = argv[++i];
                }
                if (value.empty()) return Misuse("option '-o' needs a folder");
                parsed.options.outputFolder = value;
                break;
            }
            if (!TakeShortFlag(*letter, parsed))
                return Misuse("unknown option " + Quoted(std::string("-") + *letter));
        }
    }
    parsed.firstName = i;
    return parsed;
}
