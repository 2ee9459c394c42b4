// FileSpec: the program's record for a file name, copied whole by value wherever it is passed.
// The name is length-prefixed (length byte, then up to 255 characters, no terminating zero)
// and holds the full path of the file; the two reserved numbers are always 0 and never read.
//
//     FileSpec spec = MakeFileSpec("/music/piano.kob");
//     char path[kPathTextSize];
//     std::FILE* fp = crt::fopen(FileSpecPathText(spec, path), "rb");
//
// Every file operation turns the name into its path text, a zero-terminated copy in a 256-byte
// scratch area.
#pragma once

#include <cstdint>
#include <string>

struct FileSpec {
    std::int16_t mReserved16 = 0; // always 0, never read
    std::int32_t mReserved32 = 0; // always 0, never read
    std::uint8_t mName[256] = {}; // byte 0 the length, bytes 1..length the path's characters
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
