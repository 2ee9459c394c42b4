// Output file naming: turns the name stored in a KOB entry into the names of the files written
// for it, and never hands back the name of something that exists already.
//
//     FileSpec out = ...;                      // "/music/Take.AIF"
//     StripAudioExtension(out);                // "/music/take"
//     MakeUniqueName(out, LString255(".wav")); // "/music/take.wav", or "/music/take.1.wav", ...
//
// Only the file part of a name, what follows its last '/', is ever changed: lower-casing,
// extension removal, dropping of unprintable characters and the length cut all stay behind the
// last '/', and the directory part is kept byte for byte. A backslash is an ordinary character.
//
// None of the functions throws or reports a failure. A name that cannot be created is the
// caller's concern: it finds out when it creates the file.
#pragma once

#include <cstdint>

#include "stream/FileSpec.h"
#include "stream/LString255.h"

// Lower-cases the file part (A to Z only) and removes the first ".sdm" in it, or failing that
// the first ".snd", ".aiff" or ".aif", wherever it stands in the file part. The name ends at a
// zero byte, if it holds one.
void StripAudioExtension(FileSpec& spec);

// Drops every character of the file part outside 0x20..0x7E; the rest close up.
void RemoveUnprintable(FileSpec& spec);

// RemoveUnprintable, then makes the name free: appends suffix and, while a file system entry of
// that name exists (a file of any kind, readable or not, a directory, a dangling link), puts a
// counter in front of the suffix. Long names give "name.wav", "name.1.wav", "name.2.wav", ...;
// short names shorten the file part to 8 characters without its extension and give
// "pianosol.wav", "pianosol1.wav", ... Names are at most 254 characters; a name that would be
// longer loses characters at the end of its file part, never of its directory part.
//
// A cut never takes the whole file part: where the cut at a dot would leave nothing of it, the
// cut is made as if there were no dot, so the recording keeps a visible name.
//
// WATCHOUT: when the directory part leaves no room for the suffix and counter within 254
// characters, or a name that must be cut cannot keep even one character of its file part in
// front of them, no name in that directory can be made: the name becomes empty, so that creating
// it fails and nothing is written outside the directory, over an existing file or under a name
// that is the tail alone (".wav", a hidden file). A directory part holding a zero byte gives an
// empty name too: the file system would read it as a shorter, other name.
void MakeUniqueName(FileSpec& spec, LString255 suffix);

// How often a name is chosen anew when someone else takes it between its choice and its
// creation: another copy of the program converting into the same folder, say.
inline constexpr int kNameTries = 1000;

// Makes spec the free name of base with suffix (MakeUniqueName) and calls create(spec), which
// returns false when the name was taken in the meantime (its exclusive creation met EEXIST) and
// throws for any other failure. A taken name is no failure: the next free name is chosen and
// tried, at most kNameTries times. Returns false only when every try found its name taken.
template <typename Create>
bool CreateUnderFreeName(const FileSpec& base, const LString255& suffix, FileSpec& spec, Create&& create) {
    for (int tries = 0; tries < kNameTries; ++tries) {
        spec = base;
        MakeUniqueName(spec, suffix);
        if (create(static_cast<const FileSpec&>(spec))) return true;
    }
    return false;
}

// True when a version as GetVersion packs it stands for a system with long file names: the NT
// family (top bit clear) or a major version (low byte) of 4 or more.
bool HasLongFileNames(std::uint32_t version);
