// ConvertFile: restores every recording of one KOB file into a WAVE file of its own.
//
//     ConvertFile(inputStream, inputSpec);   // throws a 32-bit code when the file is rejected
//
// The input is an opened stream over the KOB file (a cached stream, since the search for the
// first entry reads 8 bytes at every byte position). Each entry of the file's chain becomes one
// WAVE file in the input's directory, named after the source name stored in the entry and never
// replacing an existing file. Damaged blocks become silence and are listed in a ".err" file beside
// the WAVE file. On a failure the output of the entry being written is removed, outputs of earlier
// entries stay, and the code is thrown on to the caller.
#pragma once

#include "stream/FileSpec.h"
#include "stream/LStream.h"

#include <cstdint>

void ConvertFile(LStream& input, const FileSpec& inputSpec);

// The position of the first entry header: the first byte position at which "KOB1" "MRFC" stands.
// Throws the stream's code (6 at the end of the file) when there is none.
std::int32_t FindFirstEntry(LStream& input);
