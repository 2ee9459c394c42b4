// Names of an entry's output files: the WAVE file and its listing of damaged blocks.
//
// The WAVE file goes into the input file's directory, named after the source name stored in the
// entry. Before the name is settled, a probe file is created and removed there; when the
// directory takes no new file (read-only media), the output goes into the current directory
// under the name it would have had ("c:\xyzzy" there when that name is empty). The name is stripped of an audio extension, lower-cased and made unique with
// ".wav"; the listing's name is the WAVE file's name with ".err" behind it.
//
// A name is only free until someone takes it: other copies of the program may be converting
// into the same folder at the same time. Each file is therefore made under the first free name
// that its exclusive creation gets (CreateUnderFreeName); the names chosen here are the first
// candidates, and `stem` is what the WAVE file's name is made from again when its name went.
#pragma once

#include "convert/KobFormat.h"
#include "stream/FileSpec.h"

struct OutputNames {
    FileSpec stem;      // the name without ".wav" and counter: the WAVE name's base
    FileSpec wave;      // the restored audio
    FileSpec listing;   // the list of damaged stretches, written only when there are any
};

// Throws the probe's code (1) when no file can be created at the fallback name either.
OutputNames ChooseOutputNames(const FileSpec& inputSpec, const KOBEntryHeader& header);
