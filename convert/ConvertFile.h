// ConvertFile: restores every recording of one KOB file into a WAVE file of its own.
//
//     ConvertFile(inputStream, inputSpec);   // throws a 32-bit code when the file is rejected
//
// The input is an opened stream over the KOB file: the batch driver's cached stream, which
// serves the search for the first entry and the small header reads from memory. Each entry of the file's chain becomes one
// WAVE file in the input's folder (or the one chosen), named after the source name stored in the entry and never
// replacing an existing file. Damaged blocks become silence and are listed in a ".err" file beside
// the WAVE file. On a failure the output of the entry being written is removed, outputs of earlier
// entries stay, and the code is thrown on to the caller.
#pragma once

#include "convert/OutputNames.h"
#include "convert/ProgressSink.h"
#include "stream/FileSpec.h"
#include "stream/LStream.h"

#include <cstdint>

// Shows its progress nowhere.
void ConvertFile(LStream& input, const FileSpec& inputSpec);
// The same with the outputs going into folders.folder (falling back to folders.fallback for a
// folder that takes no new file), its progress shown by `progress`.
void ConvertFile(LStream& input, const FileSpec& inputSpec, const OutputFolders& folders, ProgressSink& progress);

// The position of the first entry header: the first byte position at which "KOB1" "MRFC" stands.
// Throws the stream's code (6 at the end of the file) when there is none. WATCHOUT: it reads
// 32 KiB at a time, which a cached stream serves from its cache only when the cache is at least
// that large (the batch driver's holds 256 KiB); a larger read would bypass it.
// Only positions below 2^31 are searched: an input that goes on beyond them throws 6 there.
// The search starts at `from` (0 for a whole file; the tests start near the limit).
std::int32_t FindFirstEntry(LStream& input, std::int32_t from = 0);
