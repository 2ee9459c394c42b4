// The command line of kobpack, the KOB file packer: WAVE files in, one chained KOB file out.
// It lives in the library so that tests run it in-process.
//
//     int status = RunKobpack({"a.wav", "b.wav", "-o", "out.kob"}, std::cout, std::cerr);
//
// Status 0 when the file was written, 1 when an input or the output failed, 2 for bad
// arguments (the usage text goes to err).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kobenc {

// args are the arguments after the program name.
int RunKobpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kKobpackUsage;

} // namespace kobenc
