// The speed of the two searches over a whole file: for the first entry (the plain reader) and for
// every signature (what --rescue adds), each through the batch driver's 256 KiB cached stream.
//
//     damage-bench --search FILE     // prints both in GB/s
#pragma once

#include <string>

namespace damagebench {

int PrintSearchSpeeds(const std::string& path);

} // namespace damagebench
