#include "platform/Crt.h"

#include <mutex>
#include <unordered_set>

namespace crt {
namespace {

// Recursive, so that the exit handler's thread, which keeps the gate shut, can still use it.
// WATCHOUT: the gate and the table are never destroyed: at exit, a worker thread may still be
// waiting at the gate while the runtime destroys static objects around it.
std::recursive_mutex& Gate() {
    static auto* gate = new std::recursive_mutex;
    return *gate;
}

std::unordered_set<std::FILE*>& OpenStreams() {
    static auto* streams = new std::unordered_set<std::FILE*>;
    return *streams;
}

using Lock = std::lock_guard<std::recursive_mutex>;

} // namespace

std::FILE* fopen(const char* path, const char* mode) {
    Lock lock(Gate());
    std::FILE* stream = std::fopen(path, mode);
    if (stream) OpenStreams().insert(stream);
    return stream;
}

int fclose(std::FILE* stream) {
    Lock lock(Gate());
    OpenStreams().erase(stream);
    return std::fclose(stream);
}

std::size_t fread(void* destination, std::size_t size, std::size_t count, std::FILE* stream) {
    Lock lock(Gate());
    return std::fread(destination, size, count, stream);
}

std::size_t fwrite(const void* source, std::size_t size, std::size_t count, std::FILE* stream) {
    Lock lock(Gate());
    return std::fwrite(source, size, count, stream);
}

int fseek(std::FILE* stream, long offset, int origin) {
    Lock lock(Gate());
    return std::fseek(stream, offset, origin);
}

long ftell(std::FILE* stream) {
    Lock lock(Gate());
    return std::ftell(stream);
}

int feof(std::FILE* stream) {
    Lock lock(Gate());
    return std::feof(stream);
}

int fstat(std::FILE* stream, struct stat* status) {
    Lock lock(Gate());
    return ::fstat(fileno(stream), status);
}

int remove(const char* path) {
    Lock lock(Gate());
    return std::remove(path);
}

void StopFileWork() {
    // WATCHOUT: the gate is locked here and never unlocked: from now on only this thread does
    // file work. The process is about to end, which stops any thread left waiting at the gate.
    Gate().lock();
}

int _fcloseall() {
    StopFileWork();
    int closed = 0;
    for (std::FILE* stream : OpenStreams()) {
        std::fclose(stream);
        ++closed;
    }
    OpenStreams().clear();
    return closed;
}

int OpenStreamCount() {
    Lock lock(Gate());
    return static_cast<int>(OpenStreams().size());
}

} // namespace crt
