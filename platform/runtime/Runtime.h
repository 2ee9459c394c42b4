// The runtime library's threads and string splitting.
//
// _beginthread starts a detached thread running start(argument) and returns a handle, or
// (uintptr_t)-1 when no thread could be started; the thread ends when start returns or calls
// _endthread. crt::strtok splits like the C library's strtok, but keeps its position per thread,
// so two threads can split their own texts at the same time.
//
//     _beginthread(ConvertBatch, 0, commandLine);
//     for (char* name = crt::strtok(text, " "); name; name = crt::strtok(nullptr, " ")) ...
#pragma once

#include <cstdint>

// stackSize 0 means the default size.
std::uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument);
// Ends the calling thread, from any depth of calls. WATCHOUT: the thread's stack is unwound as
// by an exception that no handler may swallow: a catch (...) on the way must rethrow, and no
// noexcept function may be on the way.
[[noreturn]] void _endthread();

namespace crt {

char* strtok(char* text, const char* delimiters);

} // namespace crt
