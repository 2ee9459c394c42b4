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
#include <unordered_set>
#include <vector>

namespace crt {
namespace {

using testing::Operation;
using detail::TestedCall;

// How long the end of the program waits for a file call in progress. A call on a disk ends in
// far less; one that waits for something that may never come (the open of a FIFO without a
// writer, the read of a slow device) must not keep the program from ending.
constexpr auto kStopWait = std::chrono::milliseconds(300);

// Every file call runs under the gate. Recursive, so that the exit handler's thread, which keeps
// it shut, can still use it.
// WATCHOUT: the gate and the tables are never destroyed: at exit, a worker thread may still be
// waiting at the gate while the runtime destroys static objects around it.
std::recursive_mutex& Gate() {
    static platform::NeverDestroyed<std::recursive_mutex> object;
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

// Guards the two tables below. Held only for a moment, never across a call that may block, so
// the end of the program always gets it.
std::mutex& TableMutex() {
    static platform::NeverDestroyed<std::mutex> object;
    return object.get();
}

std::unordered_set<std::FILE*>& OpenStreams() {
    static platform::NeverDestroyed<std::unordered_set<std::FILE*>> object;
    return object.get();
}

// Paths of the files this run created and has neither kept nor removed.
std::set<std::string>& UnfinishedFiles() {
    static platform::NeverDestroyed<std::set<std::string>> object;
    return object.get();
}

using TableLock = std::lock_guard<std::mutex>;

// Set once the file work has been stopped; the thread that stopped it goes on alone.
std::atomic<bool> gStopped{false};
std::atomic<std::thread::id> gStopper{};

bool StoppedForThisThread() {
    return gStopped.load() && gStopper.load() != std::this_thread::get_id();
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
class Lock {
public:
    explicit Lock(std::recursive_mutex& gate) : mGate(gate) {
        if (gStopped.load() && !StoppedForThisThread()) {
            mLocked = gGateHeld.load() && mGate.try_lock();
            return;
        }
        if (StoppedForThisThread()) HoldForever();
        mGate.lock();
        if (StoppedForThisThread()) {
            mGate.unlock();
            HoldForever();
        }
    }
    ~Lock() {
        if (mLocked) mGate.unlock();
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    std::recursive_mutex& mGate;
    bool mLocked = true;
};

} // namespace

// WATCHOUT: in every call the TestedCall comes before the lock, so its hooks run outside the
// gate (a hook that waits for the file work to stop must not hold it).

std::FILE* fopen(const char* path, const char* mode) {
    TestedCall call(Operation::Open, path, nullptr);
    if (call.Refused()) return nullptr;
    Lock lock(Gate());
    std::FILE* stream = std::fopen(path, mode);
    if (!stream) return nullptr;
    const bool made = std::strchr(mode, 'x') != nullptr;
    bool late = false;
    {
        TableLock tables(TableMutex());
        late = StoppedForThisThread();
        if (!late) {
            OpenStreams().insert(stream);
            // An exclusive open made this file: it is ours, and unfinished until kept.
            if (made) UnfinishedFiles().insert(path);
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
    Lock lock(Gate());
    {
        TableLock tables(TableMutex());
        OpenStreams().erase(stream);
    }
    TestedCall::Follow(stream);
    const int result = std::fclose(stream);
    if (call.Refused()) return EOF;
    return result;
}

std::size_t fread(void* destination, std::size_t size, std::size_t count, std::FILE* stream) {
    TestedCall call(Operation::Read, nullptr, stream);
    if (call.Refused()) return 0;
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
    if (call.Refused()) return EOF;
    Lock lock(Gate());
    return std::fflush(stream);
}

int fseek(std::FILE* stream, long offset, int origin) {
    TestedCall call(Operation::Seek, nullptr, stream);
    if (call.Refused()) return -1;
    Lock lock(Gate());
    return std::fseek(stream, offset, origin);
}

long ftell(std::FILE* stream) {
    TestedCall call(Operation::Tell, nullptr, stream);
    if (call.Refused()) return -1;
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
    if (call.Refused()) return -1;
    Lock lock(Gate());
    return ::fstat(fileno(stream), status);
}

int remove(const char* path) {
    TestedCall call(Operation::Remove, path, nullptr);
    if (call.Refused()) return -1;
    Lock lock(Gate());
    const int result = std::remove(path);
    const int error = errno;
    // Gone, one way or the other: nothing is left to remove at exit.
    if (result == 0 || error == ENOENT || error == ENOTDIR) {
        TableLock tables(TableMutex());
        UnfinishedFiles().erase(path);
    }
    errno = error;
    return result;
}

void KeepFiles(std::initializer_list<const char*> paths) {
    TestedCall call(Operation::Keep, paths.size() ? *paths.begin() : nullptr, nullptr);
    Lock lock(Gate());
    TableLock tables(TableMutex());
    for (const char* path : paths) UnfinishedFiles().erase(path);
}

void StopFileWork() {
    if (gStopped.load() && gStopper.load() == std::this_thread::get_id()) return;
    gStopper.store(std::this_thread::get_id());
    gStopped.store(true);
    // WATCHOUT: the gate is locked here and never unlocked: from now on only this thread does
    // file work. The process is about to end, which stops any thread left waiting at the gate.
    // A call that does not end in time (a FIFO without a writer) is left where it is: the
    // program ends all the same, and that thread never gets further (see Lock).
    gGateHeld.store(TryLockFor(Gate(), kStopWait));
    detail::gFileWorkStopped.store(true);
}

int _fcloseall() {
    StopFileWork();
    std::vector<std::FILE*> streams;
    std::vector<std::string> unfinished;
    {
        TableLock tables(TableMutex());
        streams.assign(OpenStreams().begin(), OpenStreams().end());
        OpenStreams().clear();
        unfinished.assign(UnfinishedFiles().begin(), UnfinishedFiles().end());
        UnfinishedFiles().clear();
    }
    // A stream may be in use by a call still waiting: then none is closed, as the process is
    // about to end anyway; what matters is below.
    int closed = 0;
    if (gGateHeld.load()) {
        for (std::FILE* stream : streams) {
            std::fclose(stream);
            ++closed;
        }
    }
    // What the stopped work had created and not finished goes: never a file it did not make.
    for (const std::string& path : unfinished) std::remove(path.c_str());
    return closed;
}

int OpenStreamCount() {
    TableLock tables(TableMutex());
    return static_cast<int>(OpenStreams().size());
}

bool IsUnfinished(const char* path) {
    TableLock tables(TableMutex());
    return UnfinishedFiles().count(path) != 0;
}

} // namespace crt
