// Writes bytes to a file descriptor in full, as the terminal's screen and the held output need:
// a short write or a signal in the middle goes on with the rest.
//
//     WriteAll(tty, bytes.data(), bytes.size());
#pragma once

#include <cstddef>

namespace platform::display::terminal {

// Gives up silently on an error other than EINTR: a terminal that is gone takes nothing more.
void WriteAll(int descriptor, const char* bytes, std::size_t count);

} // namespace platform::display::terminal
