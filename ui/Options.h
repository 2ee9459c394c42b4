// The options of the command line, as users of `flac -d` and `sox` know them: all before the
// names. The first argument that is not an option ends them, and so does "--"; an argument that
// names an existing file is always a name, whatever it looks like.
//
//     dudez -k -o ~/restored /media/cd/*.kob
//     dudez -tq -- -odd-name.kob
#pragma once

#include "convert/RunOptions.h"

#include <string>

struct ParsedOptions {
    enum class Action {
        Run,       // convert the names from `firstName` on
        Help,      // print the usage text and end with 0
        Version,   // print the version and end with 0
        Misuse,    // an unknown option or one without its argument: `reason`, exit status 2
    };
    Action action = Action::Run;
    int firstName = 1;    // index into argv of the first name
    std::string reason;   // for Misuse: one line, without its end
    RunOptions options;
};

ParsedOptions ParseOptions(int argc, const char* const* argv);
