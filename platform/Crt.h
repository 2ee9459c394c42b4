// The runtime library's buffered file streams, as the program's file classes use them.
//
// Every call here is one piece of file work and runs under the file-work gate. At exit,
// `_fcloseall` shuts the gate for good before it closes the streams: a worker thread that is
// still converting then blocks at its next file call, instead of writing into a closed stream or
// creating a new file after the exit handler has cleaned up. The thread that shut the gate (the
// exit handler's) may go on using these calls, so it can still delete the unfinished output.
//
//     std::FILE* fp = crt::fopen(path, "rb");
//     ...
//     crt::fclose(fp);
//
// The calls behave as their C library namesakes, with the same results and errno.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdio>

namespace crt {

std::FILE* fopen(const char* path, const char* mode);
int fclose(std::FILE* stream);
std::size_t fread(void* destination, std::size_t size, std::size_t count, std::FILE* stream);
std::size_t fwrite(const void* source, std::size_t size, std::size_t count, std::FILE* stream);
int fseek(std::FILE* stream, long offset, int origin);
long ftell(std::FILE* stream);
int feof(std::FILE* stream);
// Status of the stream's file descriptor.
int fstat(std::FILE* stream, struct stat* status);
int remove(const char* path);

// Stops all further file work of other threads, for good: from now on only the calling thread
// gets through these calls; any other thread waits at its next one until the process ends.
// Waits for a call that another thread is in the middle of.
void StopFileWork();

// Stops all further file work of other threads, then closes every stream opened through
// crt::fopen and not yet closed (never the three standard streams). Returns how many it closed.
int _fcloseall();

// How many streams opened through crt::fopen are open now (for tests).
int OpenStreamCount();

} // namespace crt
