// The runtime library's buffered file streams, as the program's file classes use them.
//
// Every call here is one piece of file work and runs under the file-work gate. At exit,
// `_fcloseall` shuts the gate for good before it closes the streams: a worker thread that is
// still converting then blocks at its next file call, instead of writing into a closed stream or
// creating a new file after the exit handler has cleaned up. The thread that shut the gate (the
// exit handler's) may go on using these calls, so it can still delete the unfinished output.
//
//     std::FILE* fp = crt::fopen(path, "wbx");   // a new file; an existing one is never touched
//     ...
//     crt::fclose(fp);
//     crt::KeepFiles({path});                    // complete: it stays when the program ends
//
// The calls behave as their C library namesakes, with the same results and errno.
//
// Files this run creates itself (an open with 'x' in the mode, which never opens an existing
// file) count as unfinished until they are kept or removed through crt::remove; `_fcloseall`
// removes those still unfinished, so a program stopped in the middle of its work leaves no
// half-written file behind, and never deletes one it did not make.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace crt {

std::FILE* fopen(const char* path, const char* mode);
int fclose(std::FILE* stream);
std::size_t fread(void* destination, std::size_t size, std::size_t count, std::FILE* stream);
std::size_t fwrite(const void* source, std::size_t size, std::size_t count, std::FILE* stream);
int fseek(std::FILE* stream, long offset, int origin);
long ftell(std::FILE* stream);
int feof(std::FILE* stream);
// Counts as a write: it writes out what the stream holds.
int fflush(std::FILE* stream);
// Status of the stream's file descriptor.
int fstat(std::FILE* stream, struct stat* status);
// Also ends the unfinished state of a file this run created.
int remove(const char* path);

// The files named are complete: they are no longer removed at exit. One step, so a stop of the
// file work comes before all of them or after all of them. Names not unfinished are ignored.
void KeepFiles(std::initializer_list<const char*> paths);

// Stops all further file work of other threads, for good: from now on only the calling thread
// gets through these calls; any other thread waits at its next one until the process ends.
// Waits for a call that another thread is in the middle of.
void StopFileWork();

// Stops all further file work of other threads, then closes every stream opened through
// crt::fopen and not yet closed (never the three standard streams), and removes the files this
// run created and has not kept. Returns how many streams it closed.
int _fcloseall();

// How many streams opened through crt::fopen are open now (for tests).
int OpenStreamCount();
// Whether this run created the file and has neither kept nor removed it yet (for tests).
bool IsUnfinished(const char* path);

// A test facility: faults, hooks and a signal at chosen file calls, to prove that failures of
// the file system and interruptions lose nothing. It costs one relaxed atomic load per call
// while it is off, and it is off unless a test turns it on (Reset, ArmSignal). The program
// itself never does: it reads no setting that could.
//
//     crt::testing::Reset();                                              // on, counting from 0
//     crt::testing::ArmFault({crt::testing::Operation::Write, 3, ""}, ENOSPC);  // 3rd fwrite fails
//     crt::testing::OnCall({crt::testing::Operation::Open, 1, "/take.wav"}, [] { ... });
//     ... run the conversion ...
//     auto calls = crt::testing::CallLog();
//     crt::testing::Disable();
namespace testing {

// Keep is KeepFiles: a point in the file work like the others, which cannot fail.
enum class Operation { Open, Close, Read, Write, Seek, Tell, Eof, Stat, Remove, Keep };

// Which call: the nth call of the operation (1-based, counted from Reset) among those whose
// file's path ends with pathEndsWith (every call when it is empty). Calls on a stream opened
// before Reset have no known path.
struct Trigger {
    Operation operation;
    long nth = 1;
    std::string pathEndsWith;
};

// From the nth matching call on, `times` matching calls fail (-1: every one) with errno set to
// error. A failing fopen opens nothing, fclose closes the stream and reports EOF, fread delivers
// nothing, fwrite writes the first half of what it was given, fflush writes out nothing, fseek/ftell/fstat/remove do
// nothing and report -1; feof and KeepFiles cannot fail.
void ArmFault(const Trigger& at, int error, long times = 1);

// Runs callback just before the matching call, outside the gate; file calls that the callback
// makes itself are neither counted nor faulted.
void OnCall(const Trigger& at, std::function<void()> callback);

struct CallRecord {
    Operation operation;
    std::string path;   // the file's path ("" when unknown)
    std::string mode;   // the mode its stream was opened with ("" for remove and unknown)
    bool failed;        // an armed fault made it fail
};

// Turns the facility on with no faults and no hooks, and starts a new call log.
void Reset();

// Turns the facility on and sends signal to the process just before (after, when after is set)
// its nth file call of any kind, counting from 1 over all threads; then holds the calling
// thread there until the file work has been stopped (10 s at most), so an interruption lands
// at exactly that point. It writes "test hook: signal <signal> at file call <nth>\n" to
// standard error when it fires, and does not fire once the file work has been stopped.
void ArmSignal(int signal, bool after, long nth);
// Turns it off; faults and hooks are forgotten.
void Disable();
// Every call since Reset, in order.
std::vector<CallRecord> CallLog();

} // namespace testing
} // namespace crt
