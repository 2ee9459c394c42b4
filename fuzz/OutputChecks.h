// Checks of what a conversion leaves on disk, for the fuzz targets. A failed check prints what
// it found on standard error and aborts, so the fuzzer keeps the input that caused it.
//
//     fuzzcheck::CheckWave(path);                    // a complete 16-bit PCM WAVE file
//     fuzzcheck::CheckListing(path);                 // a listing of damaged stretches
//     for (auto& name : fuzzcheck::FolderEntries(dir)) ...
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fuzzcheck {

[[noreturn]] void Fail(const std::string& what, const std::string& detail);

// The names in a folder, "." and ".." left out.
std::vector<std::string> FolderEntries(const std::string& dir);
// Removes every entry of a folder (files only are expected; anything else fails).
void EmptyFolder(const std::string& dir);
bool Exists(const std::string& path);
// The whole content of a file (a failed check when it cannot be read).
std::string ReadFile(const std::string& path);
// Hands the file's data to `visit` a megabyte at a time with its offset, so a file of gigabytes
// takes no more; its holes, which read as zeros, are left out.
void ReadData(const std::string& path, const std::function<void(std::uint64_t, const char*, std::size_t)>& visit);
// Makes a new private folder named <prefix>XXXXXX and returns its path: under $TMPDIR when set,
// else in /dev/shm when it is a folder that can be written (a file system in memory, where
// every input's file creations cost microseconds instead of journal writes), else under /tmp.
std::string MakePrivateFolder(const std::string& prefix);
bool IsRegularFile(const std::string& path);

// The file is a WAVE file as the writer makes it: "RIFF" with the size of the rest, "WAVE", a
// 16-byte PCM "fmt " chunk, and a "data" chunk whose declared size is exactly what follows the
// 44-byte header; when it holds samples, they are 16 bits wide and make whole frames.
void CheckWave(const std::string& path);

// The file is a listing: "128/10" and a carriage return, then lines of "128/11", a number,
// "128/12", a number, optionally a channel item ("128/13", "128/14" or "128/15" n "128/16"),
// each ended by a carriage return. A listing ends with a whole line (a failing entry leaves
// the lines it wrote, each one complete).
void CheckListing(const std::string& path);

} // namespace fuzzcheck

namespace fuzzcheck {

// Makes dir the current directory for the object's life, so that a relative name written by
// the code under test lands there; the fuzzer's own relative paths work again afterwards.
class InDirectory {
public:
    explicit InDirectory(const std::string& dir);
    ~InDirectory();
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    int mPrevious;   // descriptor of the directory to go back to
};

} // namespace fuzzcheck
