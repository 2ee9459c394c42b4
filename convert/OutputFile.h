// An output is written under a hidden name of its own in its folder and takes its final name
// only when it is complete, so that a file under an output's name is always a whole one: a run
// killed half-way (SIGKILL, the out-of-memory killer, a power cut) leaves only a file such as
// `.take.wav.dudez-Xa3kQ9`, which no reader takes for a restored recording.
//
//     FileSpec temp = TemporaryNameFor(names.wave);       // ".take.wav.dudez-Xa3kQ9"
//     ... create and write temp ...
//     crt::RenameNoReplace(folder, ".take.wav.dudez-Xa3kQ9", "take.wav");   // or "take.1.wav", ...
#pragma once

#include "stream/FileSpec.h"

#include <sys/stat.h>

// A new hidden name beside `final`, in its folder: a dot, as much of final's file part as fits,
// ".dudez-" and six random letters and digits.
FileSpec TemporaryNameFor(const FileSpec& final);

// Whether `name` in `folder` is still the file made, whose status (from the open that made it)
// is `made`: not one that someone who may write into the folder put at its name meanwhile.
bool IsMadeFile(int folder, const char* name, const struct stat& made);
