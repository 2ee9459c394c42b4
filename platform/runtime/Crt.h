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
// file) count as unfinished until they are kept, renamed to their final name or removed;
// `_fcloseall` removes those still unfinished, so a program stopped in the middle of its work
// leaves no half-written file behind, and never deletes one it did not make.
//
// A folder is opened once as a descriptor and its files are reached through it, never by a
// path resolved again: a folder that someone renames or replaces by a link meanwhile cannot
// send a file anywhere else. An unfinished file is remembered as (folder, name).
//
//     const int folder = crt::OpenFolder("/music/in");          // -1 and errno on failure
//     std::FILE* fp = crt::fopenat(folder, ".take.wav.tmp", "w+bx");
//     crt::RenameNoReplace(folder, ".take.wav.tmp", "take.wav"); // complete, under its name
//     crt::CloseFolder(folder);
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
// fopen of a name in a folder opened by OpenFolder (AT_FDCWD: the current directory). Opens
// with close-on-exec; 'x' creates exclusively, never following a link.
std::FILE* fopenat(int folder, const char* name, const char* mode);
int fclose(std::FILE* stream);
std::size_t fread(void* destination, std::size_t size, std::size_t count, std::FILE* stream);
std::size_t fwrite(const void* source, std::size_t size, std::size_t count, std::FILE* stream);
// Writes `firstSize` bytes from `first` and then `secondSize` from `second` at `offset` of the
// stream's file, in one call of the system, as one fwrite of the two joined would there. The
// stream's position stays where it was (set it before the next fwrite). Returns the bytes
// written; fewer with errno on a failure. The stream must be unbuffered (Unbuffered).
std::size_t WriteTwoAt(const void* first, std::size_t firstSize, const void* second, std::size_t secondSize,
                       std::FILE* stream, long long offset);
int fseek(std::FILE* stream, long offset, int origin);
long ftell(std::FILE* stream);
int feof(std::FILE* stream);
// Makes a stream just opened unbuffered: each transfer is one call of the system, and a seek
// reads nothing ahead (a buffered stream that may read fills its buffer up to the position it
// seeks to, a read for every seek). No file work, so neither the gate nor the test facility.
int Unbuffered(std::FILE* stream);
// Counts as a write: it writes out what the stream holds.
int fflush(std::FILE* stream);
// Status of the stream's file descriptor.
int fstat(std::FILE* stream, struct stat* status);
// The same, as the program's own look at a file it has just made (which file it is), without a
// place in the test facility's call log; through the gate like every other call.
int IdentityOf(std::FILE* stream, struct stat* status);
// Reads `firstSize` bytes into `first` and then `secondSize` into `second` from `offset` of
// the stream's file, in one call of the system (the pieces of a ring that wraps). The stream's
// position stays where it was. Returns the bytes read: fewer at the file's end, and fewer with
// errno set when the reading failed.
std::size_t ReadTwoAt(void* first, std::size_t firstSize, void* second, std::size_t secondSize, std::FILE* stream,
                      long long offset);
// Whether the stream's file can be positioned (not a pipe, a socket or a terminal); a look like
// IdentityOf.
bool CanPosition(std::FILE* stream);
// Removes a file (never a folder: an empty folder of that name stays). Also ends the
// unfinished state of a file this run created.
int remove(const char* path);
int unlinkat(int folder, const char* name);
// Gives a file its final name in the same folder, never over an existing one: EEXIST when the
// name is taken. Where the file system has no such rename, a hard link and the removal of the
// old name do the same. A file made by this run is complete from then on (no longer removed at
// exit).
// alsoComplete, when given, names another file of this run in the folder that becomes complete
// in the same step: a stop comes before both or after both.
int RenameNoReplace(int folder, const char* from, const char* to, const char* alsoComplete = nullptr);
// The same for a file that is not complete yet: it stays unfinished under its new name.
int RenameUnfinished(int folder, const char* from, const char* to);
// Sets the length of the stream's file (after writing out what it holds); counts as a write.
int ftruncate(std::FILE* stream, long long length);
// Asks the file system for room for bytes offset..offset + length of the stream's file, without
// changing its length (fallocate with FALLOC_FL_KEEP_SIZE): the writes that follow there need
// not find blocks one page at a time. Only a hint, so no place in the test facility's call log:
// -1 and errno where the file system has no such call or no room.
int ReserveSpace(std::FILE* stream, long long offset, long long length);
// Gives room asked for back: a hole punched over offset..offset + length, within the file's
// length, which stays. The same kind of hint.
int ReleaseSpace(std::FILE* stream, long long offset, long long length);
// The status of a name in a folder, not following a link (lstat). Not in the test facility's
// call log.
int fstatat(int folder, const char* name, struct stat* status);

// Opens the folder at path once, for the *at calls (a descriptor that reads nothing). Returns
// the descriptor, or -1 with errno. Its path is remembered for the names the program shows.
// `shown` is the path the program shows for it; by default the path itself.
int OpenFolder(const char* path, const char* shown = nullptr);
// A new file without a name, for reading and writing: in the folder's file system when it
// takes one (O_TMPFILE), else in $TMPDIR or /tmp. It is gone once closed. Null with errno.
std::FILE* tmpfileat(int folder);
// A number of its own for each folder opened (never given twice in a run); 0 for a descriptor
// OpenFolder did not make.
unsigned long long FolderOpening(int folder);
// The path a folder was opened with ("" for AT_FDCWD).
std::string FolderPath(int folder);
// The path to show for a name in a folder: the folder's path, '/', the name ("name" alone in
// the current directory).
std::string ShownPath(int folder, const std::string& name);
// Closes a folder, unless a file of this run is still unfinished in it (then at exit).
void CloseFolder(int folder);

// The file is complete: it is no longer removed at exit.
void KeepFile(int folder, const char* name);

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
// Whether this run created the file and has neither kept, renamed nor removed it yet. The
// converter asks before it removes a file it gave up on, so that it never removes one it did not
// make; the tests ask it of the files a run leaves.
bool IsUnfinished(const char* path);
bool IsUnfinished(int folder, const std::string& name);

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
enum class Operation { Open, Close, Read, Write, Seek, Tell, Eof, Stat, Remove, Keep, Rename };

// Which call: the nth call of the operation (1-based, counted from Reset) among those whose
// file's path ends with pathEndsWith (every call when it is empty; a '*' in it stands for any
// characters but '/', as in "/.take.wav.dudez-*"). Calls on a stream opened
// before Reset have no known path. A call on a name in a folder has the path ShownPath gives;
// a rename has the new name's.
struct Trigger {
    Operation operation;
    long nth = 1;
    std::string pathEndsWith;
};

// From the nth matching call on, `times` matching calls fail (-1: every one) with errno set to
// error. A failing fopen opens nothing, fclose closes the stream and reports EOF, fread delivers
// nothing, fwrite writes the first half of what it was given, fflush and ftruncate write out
// nothing, fseek/ftell/fstat/remove/unlinkat/RenameNoReplace do nothing and report -1; feof and
// KeepFiles cannot fail.
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
// Signal 0 sends and writes nothing, and holds the thread until the file work is stopped, or
// for holdMs at most (two minutes when 0): a batch that stays in the middle of a file, however
// fast the program is, for as long as a test needs to act on its window. With writesOnly, nth
// counts writes alone: the calls of one output's writing are as many however its input is read,
// so a hold there stays in the middle of a file.
void ArmSignal(int signal, bool after, long nth, long holdMs = 0, bool writesOnly = false);
// Turns the facility on and pauses the calling thread for pauseMs after every `every`-th file
// call: a program slowed evenly that goes on writing, for a test that must act on a batch while
// it runs and see it write.
void Throttle(long every, long pauseMs);
// Turns it off; faults and hooks are forgotten.
void Disable();
// Every call since Reset, in order.
std::vector<CallRecord> CallLog();

} // namespace testing
} // namespace crt
