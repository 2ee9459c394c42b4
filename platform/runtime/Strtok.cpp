// strtok with its position kept per thread.
#include "platform/runtime/Runtime.h"

#include <cstring>

namespace crt {

char* strtok(char* text, const char* delimiters) {
    thread_local char* next = nullptr;
    // Going on before anything was split has nothing to go on with.
    if (!text && !next) return nullptr;
    return ::strtok_r(text, delimiters, &next);
}

} // namespace crt
