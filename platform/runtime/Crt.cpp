#include "platform/runtime/Crt.h"

#include "platform/runtime/CrtTesting.h"
#include "platform/runtime/NeverDestroyed.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <type_traits>
#include <unordered_set>

namespace crt {
namespace {

using testing::Operation;
using detail::TestedCall;

// How long the end of the program waits for a file call in progress. A call on a disk ends in
// far less; one that waits for something that may never come (the open of a FIFO without a
// writer, the read of a slow device) must not keep the program from ending.
constexpr auto kStopWait = std::chrono::milliseconds(300);

// The gate and the tables.
// WATCHOUT: never destroyed: at exit, a worker thread may still be waiting at the gate while the
// runtime destroys static objects around it.
struct FileWork {
    // Every file call runs under the gate. Recursive, so that the exit handler's thread, which
    // keeps it shut, can still use it.
    std::recursive_mutex gate;
    // Guards the two tables below. Held only for a moment, never across a call that may block,
    // so the end of the program always gets it.
    std::mutex tableMutex;
    std::unordered_set<std::FILE*> openStreams;
    // Paths of the files this run created and has neither kept nor removed.
    std::set<std::string> unfinished;
};

FileWork& Files() {
    static platform::NeverDestroyed<FileWork> object;
    return object.get();
}

// Takes the gate unless it stays taken for longer than wait. A polled try_lock rather than a
// timed lock: ThreadSanitizer does not see the lock a timed wait takes (it would report the
// exit clean-up racing with the worker it has just shut out).
bool TryLockFor(std::recursive_mutex& gate, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!gate.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

using TableLock = std::lock_guard<std::mutex>;

// The thread that stopped the file work, once it has been stopped (no thread before): it goes on
// alone.
std::atomic<std::thread::id> gStopper{};

bool IsStopper() {
    return gStopper.load() == std::this_thread::get_id();
}

bool StoppedForThisThread() {
    const std::thread::id stopper = gStopper.load();
    return stopper != std::thread::id() && stopper != std::this_thread::get_id();
}

// Where a thread that comes to file work after the stop stays until the process ends.
[[noreturn]] void HoldForever() {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// Whether the stop got the gate (see StopFileWork).
std::atomic<bool> gGateHeld{false};

// The gate, taken for one call. A thread that arrives once the file work has been stopped (or
// that was let in before and comes back) never gets through. The thread that stopped it goes
// through: it holds the gate already, or it gave up waiting for a call that may never end.
std::unique_lock<std::recursive_mutex> EnterGate() {
    std::recursive_mutex& gate = Files().gate;
    if (IsStopper()) {
        if (!gGateHeld.load()) return {};
        return std::unique_lock(gate, std::try_to_lock);
    }
    if (StoppedForThisThread()) HoldForever();
    std::unique_lock lock(gate);
    if (StoppedForThisThread()) {
        lock.unlock();
        HoldForever();
    }
    return lock;
}

// WATCHOUT: in every call the TestedCall comes before the gate, so its hooks run outside it (a
// hook that waits for the file work to stop must not hold it).

// A call on a stream that an armed fault may refuse: it then does nothing and reports refused.
template <typename Work>
std::invoke_result_t<Work> OnStream(Operation operation, std::FILE* stream,
                                    std::invoke_result_t<Work> refused, Work work) {
    TestedCall call(operation, nullptr, stream);
    if (call.Refused()) return refused;
    const auto gate = EnterGate();
    return work();
}

} // namespace

std::FILE* fopen(const char* path, const char* mode) {
    TestedCall call(Operation::Open, path, nullptr);
    if (call.Refused()) return nullptr;
    const auto gate = EnterGate();
    std::FILE* stream = std::fopen(path, mode);
    if (!stream) return nullptr;
    const bool made = std::strchr(mode, 'x') != nullptr;
    bool late = false;
    {
        TableLock tables(Files().tableMutex);
        late = StoppedForThisThread();
        if (!late) {
            Files().openStreams.insert(stream);
            // An exclusive open made this file: it is ours, and unfinished until kept.
            if (made) Files().unfinished.insert(path);
        }
    }
    // WATCHOUT: an open that waited so long that the program stopped meanwhile (and went on
    // without it): what it made is taken back at once, and the thread goes no further. Not
    // under the tables' lock, which the end of the program needs.
    if (late) {
        std::fclose(stream);
        if (made) std::remove(path);
        HoldForever();
    }
    TestedCall::Follow(stream, path, mode);
    return stream;
}

int fclose(std::FILE* stream) {
    TestedCall call(Operation::Close, nullptr, stream);
    const auto gate = EnterGate();
    {
        TableLock tables(Files().tableMutex);
        Files().openStreams.erase(stream);
    }
    TestedCall::Follow(stream);
    const int result = std::fclose(stream);
    return call.Refused() ? EOF : result;
}

std::size_t fread(void* destination, std::size_t size, std::size_t count, std::FILE* stream) {
    return OnStream(Operation::Read, stream, 0,
                    [&] { return std::fread(destination, size, count, stream); });
}

std::size_t fwrite(const void* source, std::size_t size, std::size_t count, std::FILE* stream) {
    TestedCall call(Operation::Write, nullptr, stream);
    const auto gate = EnterGate();
    if (!call.Fails()) return std::fwrite(source, size, count, stream);
    // A disk that fills up takes part of the data and refuses the rest.
    const std::size_t written = std::fwrite(source, size, count / 2, stream);
    errno = call.Error();
    return written;
}

int fflush(std::FILE* stream) {
    return OnStream(Operation::Write, stream, EOF, [&] { return std::fflush(stream); });
}

int fseek(std::FILE* stream, long offset, int origin) {
    return OnStream(Operation::Seek, stream, -1, [&] { return std::fseek(stream, offset, origin); });
}

long ftell(std::FILE* stream) {
    return OnStream(Operation::Tell, stream, -1, [&] { return std::ftell(stream); });
}

// Cannot fail: no fault refuses it.
int feof(std::FILE* stream) {
    return OnStream(Operation::Eof, stream, 0, [&] { return std::feof(stream); });
}

int fstat(std::FILE* stream, struct stat* status) {
    return OnStream(Operation::Stat, stream, -1, [&] { return ::fstat(fileno(stream), status); });
}

int remove(const char* path) {
    TestedCall call(Operation::Remove, path, nullptr);
    if (call.Refused()) return -1;
    const auto gate = EnterGate();
    const int result = std::remove(path);
    const int error = errno;
    // Gone, one way or the other: nothing is left to remove at exit.
    if (result == 0 || error == ENOENT || error == ENOTDIR) {
        TableLock tables(Files().tableMutex);
        Files().unfinished.erase(path);
    }
    errno = error;
    return result;
}

void KeepFiles(std::initializer_list<const char*> paths) {
    TestedCall call(Operation::Keep, paths.size() ? *paths.begin() : nullptr, nullptr);
    const auto gate = EnterGate();
    TableLock tables(Files().tableMutex);
    for (const char* path : paths) Files().unfinished.erase(path);
}

void StopFileWork() {
    if (IsStopper()) return;
    gStopper.store(std::this_thread::get_id());
    // WATCHOUT: the gate is locked here and never unlocked: from now on only this thread does
    // file work. The process is about to end, which stops any thread left waiting at the gate.
    // A call that does not end in time (a FIFO without a writer) is left where it is: the
    // program ends all the same, and that thread never gets further (see EnterGate).
    gGateHeld.store(TryLockFor(Files().gate, kStopWait));
    detail::gFileWorkStopped.store(true);
}

int _fcloseall() {
    StopFileWork();
    std::unordered_set<std::FILE*> streams;
    std::set<std::string> unfinished;
    {
        TableLock tables(Files().tableMutex);
        streams.swap(Files().openStreams);
        unfinished.swap(Files().unfinished);
    }
    // A stream may be in use by a call still waiting: then none is closed, as the process is
    // about to end anyway; what matters is below.
    if (!gGateHeld.load()) streams.clear();
    for (std::FILE* stream : streams) std::fclose(stream);
    // What the stopped work had created and not finished goes: never a file it did not make.
    for (const std::string& path : unfinished) std::remove(path.c_str());
    return static_cast<int>(streams.size());
}

int OpenStreamCount() {
    TableLock tables(Files().tableMutex);
    return static_cast<int>(Files().openStreams.size());
}

bool IsUnfinished(const char* path) {
    TableLock tables(Files().tableMutex);
    return Files().unfinished.count(path) != 0;
}

} // namespace crt
