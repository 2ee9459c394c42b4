#include "platform/display/terminal/WriteAll.h"

#include <unistd.h>

#include <cerrno>

namespace platform::display::terminal {

void WriteAll(int descriptor, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = write(descriptor, bytes, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

} // namespace platform::display::terminal
