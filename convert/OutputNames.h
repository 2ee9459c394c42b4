// Names of an entry's output files: the WAVE file and its listing of damaged blocks.
//
// The WAVE file goes into the output folder (the input's own folder, or the one the user
// chose), named after the source name stored in the entry. Before the name is settled, a probe
// file is created and removed there; when the folder takes no new file (read-only media, no
// permission, no room), the output goes into the current directory under the name it would
// have had. The name is stripped of an audio extension, lower-cased and made unique with
// ".wav"; the listing's name is the WAVE file's final name with ".err" behind it.
//
// A stored name that the naming rules would leave empty, or hidden only because its own
// characters were dropped (a name all in another script), gives way to the KOB file's name:
// `album.kob` gives `album.wav`. Only when that is empty too does "c:\xyzzy" stand.
//
// A name is only free until someone takes it: other copies of the program may be converting
// into the same folder at the same time. The names chosen here are the first candidates; the
// files get their final names when they are complete (see OutputFile.h), and `stem` is what
// the WAVE file's name is made from again when its name went.
#pragma once

#include "convert/KobFormat.h"
#include "stream/FileSpec.h"

// Where an input's outputs may go, as folder descriptors.
struct OutputFolders {
    int folder = FileSpec::kCurrentFolder;     // the input's folder, or the one the user chose
    int fallback = FileSpec::kCurrentFolder;   // the current directory, for a folder that takes no file
};

struct OutputNames {
    FileSpec stem;   // the name without ".wav" and counter: the WAVE name's base
    FileSpec wave;   // the restored audio's first free name
};

// Throws the probe's code (1) when no file can be created at the fallback name either, or the
// folder failed in another way (it is gone, say); the reason is noted for the report first.
// With `probe` false nothing is created: the names are those a conversion would choose now.
OutputNames ChooseOutputNames(const FileSpec& inputSpec, const KOBEntryHeader& header,
                              const OutputFolders& folders, bool probe = true);
