// FileSpec: the program's record for a file name, copied whole by value wherever it is passed.
// The name is length-prefixed (length byte, then up to 255 characters, no terminating zero).
// It is the file's name in mFolder, a folder opened once as a descriptor (crt::OpenFolder):
// the program's own records hold a file part there, so a path of any length works and the
// folder stays the one that was opened, whatever happens to its path meanwhile. With mFolder
// AT_FDCWD the name is a path from the current directory, as given. The two reserved numbers
// are always 0 and never read.
//
//     FileSpec spec = MakeFileSpec(folder, "piano.kob");
//     char name[kPathTextSize];
//     std::FILE* fp = crt::fopenat(spec.mFolder, FileSpecPathText(spec, name), "rb");
//
// Every file operation turns the name into its text, a zero-terminated copy in a 256-byte
// scratch area.
#pragma once

#include <cstdint>
#include <string>

struct FileSpec {
    std::int16_t mReserved16 = 0; // always 0, never read
    std::int32_t mReserved32 = 0; // always 0, never read
    std::uint8_t mName[256] = {}; // byte 0 the length, bytes 1..length the name's characters
    int mFolder = kCurrentFolder; // the folder the name is in (not owned)

    static constexpr int kCurrentFolder = -100;   // AT_FDCWD
};

// Size of the scratch area for a path text: 255 characters and the terminating zero.
inline constexpr int kPathTextSize = 256;

// Writes the path text of spec into scratch: the name's characters, stopping early at a zero
// byte, and a zero at the index given by the length byte. Returns scratch.
char* FileSpecPathText(const FileSpec& spec, char (&scratch)[kPathTextSize]);

// The path text of spec as a string.
std::string FileSpecPath(const FileSpec& spec);

// A FileSpec naming path (up to its first zero byte), cut to its first 255 characters.
FileSpec MakeFileSpec(const char* path);
inline FileSpec MakeFileSpec(const std::string& path) { return MakeFileSpec(path.c_str()); }
// The same for a name in a folder.
FileSpec MakeFileSpec(int folder, const std::string& name);

// The path to show people: the folder's path and the name.
std::string ShownPath(const FileSpec& spec);
