#include "platform/Crt.h"

#include "platform/runtime/CrtTesting.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <unordered_set>

namespace crt {
namespace {

using testing::Operation;
using detail::TestedCall;

// Recursive, so that the exit handler's thread, which keeps the gate shut, can still use it.
// WATCHOUT: the gate and the tables are never destroyed: at exit, a worker thread may still be
// waiting at the gate while the runtime destroys static objects around it.
std::recursive_mutex& Gate() {
    static auto* gate = new std::recursive_mutex;
    return *gate;
}

std::unordered_set<std::FILE*>& OpenStreams() {
    static auto* streams = new std::unordered_set<std::FILE*>;
    return *streams;
}

// Paths of the files this run created and has neither kept nor removed.
std::set<std::string>& UnfinishedFiles() {
    static auto* files = new std::set<std::string>;
    return *files;
}

using Lock = std::lock_guard<std::recursive_mutex>;

} // namespace

// WATCHOUT: in every call the TestedCall comes before the lock, so its hooks run outside the
// gate (a hook that waits for the file work to stop must not hold it).

std::FILE* fopen(const char* path, const char* mode) {
    TestedCall call(Operation::Open, path, nullptr);
    if (call.Fails()) {
        errno = call.Error();
        return nullptr;
    }
    Lock lock(Gate());
    std::FILE* stream = std::fopen(path, mode);
    if (stream) {
        OpenStreams().insert(stream);
        // An exclusive open made this file: it is ours, and unfinished until kept.
        if (std::strchr(mode, 'x')) UnfinishedFiles().insert(path);
        TestedCall::Opened(stream, path, mode);
    }
    return stream;
}

int fclose(std::FILE* stream) {
    TestedCall call(Operation::Close, nullptr, stream);
    Lock lock(Gate());
    OpenStreams().erase(stream);
    TestedCall::Closed(stream);
    const int result = std::fclose(stream);
    if (call.Fails()) {
        errno = call.Error();
        return EOF;
    }
    return result;
}

std::size_t fread(void* destination, std::size_t size, std::size_t count, std::FILE* stream) {
    TestedCall call(Operation::Read, nullptr, stream);
    if (call.Fails()) {
        errno = call.Error();
        return 0;
    }
    Lock lock(Gate());
    return std::fread(destination, size, count, stream);
}

std::size_t fwrite(const void* source, std::size_t size, std::size_t count, std::FILE* stream) {
    TestedCall call(Operation::Write, nullptr, stream);
    Lock lock(Gate());
    if (call.Fails()) {
        // A disk that fills up takes part of the data and refuses the rest.
        const std::size_t written = std::fwrite(source, size, count / 2, stream);
        errno = call.Error();
        return written;
    }
    return std::fwrite(source, size, count, stream);
}

int fflush(std::FILE* stream) {
    TestedCall call(Operation::Write, nullptr, stream);
    if (call.Fails()) {
        errno = call.Error();
        return EOF;
    }
    Lock lock(Gate());
    return std::fflush(stream);
}

int fseek(std::FILE* stream, long offset, int origin) {
    TestedCall call(Operation::Seek, nullptr, stream);
    if (call.Fails()) {
        errno = call.Error();
        return -1;
    }
    Lock lock(Gate());
    return std::fseek(stream, offset, origin);
}

long ftell(std::FILE* stream) {
    TestedCall call(Operation::Tell, nullptr, stream);
    if (call.Fails()) {
        errno = call.Error();
        return -1;
    }
    Lock lock(Gate());
    return std::ftell(stream);
}

int feof(std::FILE* stream) {
    TestedCall call(Operation::Eof, nullptr, stream);
    Lock lock(Gate());
    return std::feof(stream);
}

int fstat(std::FILE* stream, struct stat* status) {
    TestedCall call(Operation::Stat, nullptr, stream);
    if (call.Fails()) {
        errno = call.Error();
        return -1;
    }
    Lock lock(Gate());
    return ::fstat(fileno(stream), status);
}

int remove(const char* path) {
    TestedCall call(Operation::Remove, path, nullptr);
    if (call.Fails()) {
        errno = call.Error();
        return -1;
    }
    Lock lock(Gate());
    const int result = std::remove(path);
    // Gone, one way or the other: nothing is left to remove at exit.
    if (result == 0 || errno == ENOENT || errno == ENOTDIR) UnfinishedFiles().erase(path);
    return result;
}

void KeepFiles(std::initializer_list<const char*> paths) {
    TestedCall call(Operation::Keep, paths.size() ? *paths.begin() : nullptr, nullptr);
    Lock lock(Gate());
    for (const char* path : paths) UnfinishedFiles().erase(path);
}

void StopFileWork() {
    // WATCHOUT: the gate is locked here and never unlocked: from now on only this thread does
    // file work. The process is about to end, which stops any thread left waiting at the gate.
    Gate().lock();
    detail::NoteFileWorkStopped();
}

int _fcloseall() {
    StopFileWork();
    int closed = 0;
    for (std::FILE* stream : OpenStreams()) {
        std::fclose(stream);
        ++closed;
    }
    OpenStreams().clear();
    // What the stopped work had created and not finished goes: never a file it did not make.
    for (const std::string& path : UnfinishedFiles()) std::remove(path.c_str());
    UnfinishedFiles().clear();
    return closed;
}

int OpenStreamCount() {
    Lock lock(Gate());
    return static_cast<int>(OpenStreams().size());
}

bool IsUnfinished(const char* path) {
    Lock lock(Gate());
    return UnfinishedFiles().count(path) != 0;
}

} // namespace crt
