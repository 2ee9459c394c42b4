// Threads of the runtime library, on top of POSIX threads, and strtok with its position kept per
// thread.
#include "platform/runtime/Runtime.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace {

struct ThreadStart {
    void (*start)(void*);
    void* argument;
};

// What _endthread throws to unwind its thread's stack up to RunThread. An exception of the
// program's own runtime, not pthread_exit's forced unwinding: that one makes the C library load
// libgcc_s at the thread's end, under the loader's lock, which the process's exit then waits for
// (a few tenths of a millisecond of every run).
struct ThreadEnd {};

thread_local bool tStartedHere = false;   // the thread runs RunThread

void* RunThread(void* pointer) {
    const ThreadStart start = *static_cast<ThreadStart*>(pointer);
    delete static_cast<ThreadStart*>(pointer);
    tStartedHere = true;
    // Only the thread's end is caught: any other exception that escapes ends the process, as it
    // would on the platform.
    try {
        start.start(start.argument);
    } catch (const ThreadEnd&) {
    }
    return nullptr;
}

} // namespace

std::uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument) {
    const auto failed = static_cast<std::uintptr_t>(-1);
    if (!start) {
        errno = EINVAL;
        return failed;
    }
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return failed;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    int error = 0;
    if (stackSize != 0) {
        // The system wants whole pages and no less than its minimum.
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t size = std::max<std::size_t>(stackSize, PTHREAD_STACK_MIN);
        error = pthread_attr_setstacksize(&attributes, (size + page - 1) / page * page);
    }
    auto* startRecord = new ThreadStart{start, argument};
    pthread_t thread{};
    if (error == 0) error = pthread_create(&thread, &attributes, RunThread, startRecord);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete startRecord;
        errno = error;
        return failed;
    }
    return static_cast<std::uintptr_t>(thread);
}

void _endthread() {
    // Unwinds the thread's stack, running destructors, up to RunThread and ends the thread.
    if (tStartedHere) throw ThreadEnd{};
    pthread_exit(nullptr);   // a thread _beginthread did not start
}

namespace crt {

char* strtok(char* text, const char* delimiters) {
    thread_local char* next = nullptr;
    // Going on before anything was split has nothing to go on with.
    if (!text && !next) return nullptr;
    return ::strtok_r(text, delimiters, &next);
}

} // namespace crt
