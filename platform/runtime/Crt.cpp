#include "platform/runtime/Crt.h"

#include "platform/runtime/CrtTesting.h"
#include "platform/runtime/NeverDestroyed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <type_traits>
#include <map>
#include <unordered_set>
#include <utility>

namespace crt {
namespace {

using testing::Operation;
using detail::TestedCall;
using detail::TestingOn;

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
    // The files this run created and has neither kept, renamed nor removed: (folder, name).
    std::set<std::pair<int, std::string>> unfinished;
    // The folders open, with the paths they were opened with and the number of their opening.
    struct Folder {
        std::string path;
        unsigned long long opening;
    };
    std::map<int, Folder> folders;
    unsigned long long openings = 0;
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


// The open flags of an fopen mode ("r", "w+", "wbx", ...), close-on-exec; -1 for a mode
// the program never uses.
int OpenFlags(const char* mode) {
    const bool plus = std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC;
    switch (mode[0]) {
    case 'r': flags |= plus ? O_RDWR : O_RDONLY; break;
    case 'w': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: return -1;
    }
    // An exclusive creation follows no link: a link of that name counts as taken.
    if (std::strchr(mode, 'x')) flags |= O_EXCL | O_NOFOLLOW;
    return flags;
}

std::FILE* OpenIn(int folder, const char* name, const char* mode) {
    const int flags = OpenFlags(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = ::openat(folder, name, flags, 0666);
    if (fd < 0) return nullptr;
    // The stream's mode without 'x', which fdopen does not know.
    std::string streamMode;
    for (const char* c = mode; *c; ++c)
        if (*c != 'x') streamMode += *c;
    std::FILE* stream = ::fdopen(fd, streamMode.c_str());
    if (!stream) {
        const int error = errno;
        if (flags & O_EXCL) ::unlinkat(folder, name, 0);
        ::close(fd);
        errno = error;
    }
    return stream;
}

} // namespace

std::string FolderPath(int folder) {
    if (folder == AT_FDCWD) return "";
    TableLock tables(Files().tableMutex);
    const auto found = Files().folders.find(folder);
    return found != Files().folders.end() ? found->second.path : "";
}

unsigned long long FolderOpening(int folder) {
    TableLock tables(Files().tableMutex);
    const auto found = Files().folders.find(folder);
    return found != Files().folders.end() ? found->second.opening : 0;
}

std::string ShownPath(int folder, const std::string& name) {
    std::string path = FolderPath(folder);
    if (path.empty()) return name;
    if (path.back() != '/') path += '/';
    return path + name;
}

std::FILE* fopenat(int folder, const char* name, const char* mode) {
    // The path only the test facility reads: no lookup of the folder's path on every open.
    const std::string shown = TestingOn() && folder != AT_FDCWD ? ShownPath(folder, name) : std::string();
    const char* path = shown.empty() ? name : shown.c_str();
    TestedCall call(Operation::Open, path, nullptr);
    if (call.Refused()) return nullptr;
    const auto gate = EnterGate();
    std::FILE* stream = OpenIn(folder, name, mode);
    if (!stream) return nullptr;
    const bool made = std::strchr(mode, 'x') != nullptr;
    bool late = false;
    {
        TableLock tables(Files().tableMutex);
        late = StoppedForThisThread();
        if (!late) {
            Files().openStreams.insert(stream);
            // An exclusive open made this file: it is ours, and unfinished until kept.
            if (made) Files().unfinished.emplace(folder, name);
        }
    }
    // WATCHOUT: an open that waited so long that the program stopped meanwhile (and went on
    // without it): what it made is taken back at once, and the thread goes no further. Not
    // under the tables' lock, which the end of the program needs.
    if (late) {
        std::fclose(stream);
        if (made) ::unlinkat(folder, name, 0);
        HoldForever();
    }
    TestedCall::Follow(stream, path, mode);
    return stream;
}

std::FILE* fopen(const char* path, const char* mode) {
    return fopenat(AT_FDCWD, path, mode);
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

namespace {

// Moves the pieces of a vectored transfer on past the `done` bytes a call took: the pieces it
// finished are left behind, and the one it stopped in starts where it stopped.
void SkipTransferred(iovec*& next, int& left, std::size_t done) {
    while (left > 0 && done >= next->iov_len) done -= next++->iov_len, --left;
    if (left > 0) {
        next->iov_base = static_cast<std::uint8_t*>(next->iov_base) + done;
        next->iov_len -= done;
    }
}

} // namespace

std::size_t WriteTwoAt(const void* first, std::size_t firstSize, const void* second, std::size_t secondSize,
                       std::FILE* stream, long long offset) {
    TestedCall call(Operation::Write, nullptr, stream);
    const auto gate = EnterGate();
    iovec pieces[2] = {{const_cast<void*>(first), firstSize}, {const_cast<void*>(second), secondSize}};
    std::size_t wanted = firstSize + secondSize;
    if (call.Fails()) {
        // A disk that fills up takes part of the data and refuses the rest.
        wanted /= 2;
        pieces[0].iov_len = std::min(firstSize, wanted);
        pieces[1].iov_len = wanted - pieces[0].iov_len;
    }
    std::size_t written = 0;
    iovec* next = pieces;
    int left = 2;
    while (written < wanted) {
        const ssize_t done = ::pwritev(fileno(stream), next, left, static_cast<off_t>(offset + static_cast<long long>(written)));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return written;
        written += static_cast<std::size_t>(done);
        // A short write: the rest of its piece, then the next.
        SkipTransferred(next, left, static_cast<std::size_t>(done));
    }
    if (call.Fails()) errno = call.Error();
    return written;
}

std::size_t ReadTwoAt(void* first, std::size_t firstSize, void* second, std::size_t secondSize, std::FILE* stream,
                      long long offset) {
    TestedCall call(Operation::Read, nullptr, stream);
    if (call.Refused()) return 0;
    const auto gate = EnterGate();
    iovec pieces[2] = {{first, firstSize}, {second, secondSize}};
    const std::size_t wanted = firstSize + secondSize;
    std::size_t done = 0;
    iovec* next = pieces;
    int left = secondSize > 0 ? 2 : 1;
    while (done < wanted) {
        const ssize_t got = ::preadv(fileno(stream), next, left, static_cast<off_t>(offset + static_cast<long long>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;   // the end of the file, or a failure with errno
        done += static_cast<std::size_t>(got);
        SkipTransferred(next, left, static_cast<std::size_t>(got));
    }
    return done;
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
int Unbuffered(std::FILE* stream) {
    return std::setvbuf(stream, nullptr, _IONBF, 0);
}

int feof(std::FILE* stream) {
    return OnStream(Operation::Eof, stream, 0, [&] { return std::feof(stream); });
}

int fstat(std::FILE* stream, struct stat* status) {
    return OnStream(Operation::Stat, stream, -1, [&] { return ::fstat(fileno(stream), status); });
}

int unlinkat(int folder, const char* name) {
    const std::string shown = TestingOn() ? ShownPath(folder, name) : std::string();
    TestedCall call(Operation::Remove, shown.c_str(), nullptr);
    if (call.Refused()) return -1;
    const auto gate = EnterGate();
    const int result = ::unlinkat(folder, name, 0);
    const int error = errno;
    // Gone, one way or the other: nothing is left to remove at exit.
    if (result == 0 || error == ENOENT || error == ENOTDIR) {
        TableLock tables(Files().tableMutex);
        Files().unfinished.erase({folder, name});
    }
    errno = error;
    return result;
}

int remove(const char* path) {
    return unlinkat(AT_FDCWD, path);
}

namespace {

// renameat2 with RENAME_NOREPLACE; on a file system without it (EINVAL), a link under the new
// name and the removal of the old one, which never replaces a file either.
int RenameWithoutReplacing(int folder, const char* from, const char* to) {
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::linkat(folder, from, folder, to, 0) != 0) return -1;
    ::unlinkat(folder, from, 0);
    return 0;
}

} // namespace

namespace {

int Rename(int folder, const char* from, const char* to, bool complete, const char* alsoComplete) {
    const std::string shown = TestingOn() ? ShownPath(folder, to) : std::string();
    TestedCall call(Operation::Rename, shown.c_str(), nullptr);
    if (call.Refused()) return -1;
    const auto gate = EnterGate();
    const int result = RenameWithoutReplacing(folder, from, to);
    const int error = errno;
    if (result == 0) {
        TableLock tables(Files().tableMutex);
        auto& unfinished = Files().unfinished;
        if (unfinished.erase({folder, from}) != 0 && !complete) unfinished.emplace(folder, to);
        if (alsoComplete) unfinished.erase({folder, alsoComplete});
    }
    errno = error;
    return result;
}

} // namespace

int RenameNoReplace(int folder, const char* from, const char* to, const char* alsoComplete) {
    return Rename(folder, from, to, true, alsoComplete);
}

int RenameUnfinished(int folder, const char* from, const char* to) {
    return Rename(folder, from, to, false, nullptr);
}

void KeepFile(int folder, const char* name) {
    TestedCall call(Operation::Keep, ShownPath(folder, name).c_str(), nullptr);
    const auto gate = EnterGate();
    TableLock tables(Files().tableMutex);
    Files().unfinished.erase({folder, name});
}

int ftruncate(std::FILE* stream, long long length) {
    return OnStream(Operation::Write, stream, -1, [&] {
        if (std::fflush(stream) != 0) return -1;
        return ::ftruncate(fileno(stream), static_cast<off_t>(length));
    });
}

int ReserveSpace(std::FILE* stream, long long offset, long long length) {
    const auto gate = EnterGate();
    return ::fallocate(fileno(stream), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset), static_cast<off_t>(length));
}

int ReleaseSpace(std::FILE* stream, long long offset, long long length) {
    const auto gate = EnterGate();
    return ::fallocate(fileno(stream), FALLOC_FL_KEEP_SIZE | FALLOC_FL_PUNCH_HOLE, static_cast<off_t>(offset),
                       static_cast<off_t>(length));
}

int IdentityOf(std::FILE* stream, struct stat* status) {
    const auto gate = EnterGate();
    return ::fstat(fileno(stream), status);
}

bool CanPosition(std::FILE* stream) {
    const auto gate = EnterGate();
    return ::lseek(fileno(stream), 0, SEEK_CUR) >= 0 || errno != ESPIPE;
}

int fstatat(int folder, const char* name, struct stat* status) {
    // Only a look, so no place in the call log; but through the gate like every other call, so
    // that a worker stopped meanwhile acts on nothing it sees.
    const auto gate = EnterGate();
    return ::fstatat(folder, name, status, AT_SYMLINK_NOFOLLOW);
}

int OpenFolder(const char* path, const char* shown) {
    const int folder = ::open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return -1;
    TableLock tables(Files().tableMutex);
    Files().folders[folder] = {shown ? shown : path, ++Files().openings};
    return folder;
}

std::FILE* tmpfileat(int folder) {
    TestedCall call(Operation::Open, "", nullptr);
    if (call.Refused()) return nullptr;
    const auto gate = EnterGate();
    int fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        const char* directory = std::getenv("TMPDIR");
        if (!directory || !*directory) directory = "/tmp";
        fd = ::open(directory, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            // A file system without unnamed files: a named one, unnamed at once.
            std::string name = std::string(directory) + "/dudez-XXXXXX";
            fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd >= 0) ::unlink(name.c_str());
        }
    }
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "w+b");
    if (!stream) {
        ::close(fd);
        return nullptr;
    }
    TableLock tables(Files().tableMutex);
    Files().openStreams.insert(stream);
    return stream;
}

void CloseFolder(int folder) {
    if (folder < 0) return;
    const auto gate = EnterGate();
    TableLock tables(Files().tableMutex);
    // A file still unfinished in it is removed through it at exit; the number must not be
    // given to another folder before then.
    for (const auto& [in, name] : Files().unfinished)
        if (in == folder) return;
    Files().folders.erase(folder);
    ::close(folder);
}

void KeepFiles(std::initializer_list<const char*> paths) {
    TestedCall call(Operation::Keep, paths.size() ? *paths.begin() : nullptr, nullptr);
    const auto gate = EnterGate();
    TableLock tables(Files().tableMutex);
    for (const char* path : paths) Files().unfinished.erase({AT_FDCWD, path});
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
    std::set<std::pair<int, std::string>> unfinished;
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
    // Through the folder each was made in, whatever has become of its path since.
    for (const auto& [folder, name] : unfinished) ::unlinkat(folder, name.c_str(), 0);
    return static_cast<int>(streams.size());
}

int OpenStreamCount() {
    TableLock tables(Files().tableMutex);
    return static_cast<int>(Files().openStreams.size());
}

bool IsUnfinished(int folder, const std::string& name) {
    TableLock tables(Files().tableMutex);
    return Files().unfinished.count({folder, name}) != 0;
}

bool IsUnfinished(const char* path) {
    return IsUnfinished(AT_FDCWD, path);
}

} // namespace crt
