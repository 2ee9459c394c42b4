// Fuzz target: arbitrary names through the naming functions and the converter's output names.
//
// Input: one control byte, then name bytes. Bit 0 of the control byte picks short names instead
// of long ones, bits 1-2 the suffix ("", ".wav", ".err"), bit 3 whether the name bytes are a
// whole name on their own (nothing there exists) or a name inside a private folder (where each
// name made is then created, so the next must differ). The rest of the bytes also serve, split
// at the first zero byte, as a directory name and a stored name for ChooseOutputNames.
//
// Checked: no name passes 254 characters or its 255-byte field; the directory part (up to the
// last '/') is kept byte for byte; no '/' appears in a file part; file parts made unique are
// printable; StripAudioExtension only lower-cases and removes one audio extension; a unique
// name never exists already; ChooseOutputNames leaves no probe behind and writes nowhere else.
#include "convert/KobFormat.h"
#include "convert/OutputNames.h"
#include "fuzz/OutputChecks.h"
#include "platform/runtime/Kernel.h"
#include "stream/ErrorCode.h"
#include "stream/FileSpec.h"
#include "stream/LString255.h"
#include "stream/OutputNaming.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzzcheck::Fail;

struct Sandbox {
    std::string root;   // holds work/ and cwd/ only
    std::string work;   // names are made here
    std::string cwd;    // the current directory: the fallback output name lands here
};

void RemoveTree(const std::string& dir) {
    for (const std::string& name : fuzzcheck::FolderEntries(dir)) {
        const std::string path = dir + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            RemoveTree(path);
        else
            ::unlink(path.c_str());
    }
    ::rmdir(dir.c_str());
}

void RemoveSandbox();

Sandbox& Box() {
    // On the heap and never destroyed: the exit handler that removes the folders needs it.
    static Sandbox& box = *[] {
        const std::string root = fuzzcheck::MakePrivateFolder("dudez-names-");
        auto* made = new Sandbox{root, root + "/work", root + "/cwd"};
        Sandbox& b = *made;
        if (::mkdir(b.work.c_str(), 0700) != 0 || ::mkdir(b.cwd.c_str(), 0700) != 0) Fail("mkdir", b.root);
        std::atexit(RemoveSandbox);
        return made;
    }();
    return box;
}

void RemoveSandbox() { RemoveTree(Box().root); }

std::string NameOf(const FileSpec& spec) {
    return std::string(reinterpret_cast<const char*>(spec.mName + 1), spec.mName[0]);
}

FileSpec SpecOf(const std::string& name) {
    FileSpec spec{};
    spec.mName[0] = static_cast<std::uint8_t>(name.size());
    std::memcpy(spec.mName + 1, name.data(), name.size());
    return spec;
}

std::size_t FilePartStart(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool Printable(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
    return true;
}

void CheckSameDirectory(const std::string& before, const std::string& after, const char* what) {
    const std::string dir = before.substr(0, FilePartStart(before));
    if (after.compare(0, dir.size(), dir) != 0) Fail(std::string(what) + " changed the directory part", before);
    if (after.find('/', dir.size()) != std::string::npos) Fail(std::string(what) + " put a '/' into the file part", before);
}

// The name as StripAudioExtension sees it: its characters up to a zero byte.
std::string UpToZero(const std::string& name) { return name.substr(0, name.find('\0')); }

void CheckStrip(const std::string& name) {
    FileSpec spec = SpecOf(name);
    StripAudioExtension(spec);
    const std::string before = UpToZero(name);
    const std::string after = NameOf(spec);
    CheckSameDirectory(before, after, "StripAudioExtension");
    const std::size_t start = FilePartStart(before);
    const std::string lower = Lower(before.substr(start));
    const std::string file = after.substr(start);
    if (file == lower) return;
    for (const char* ext : {".sdm", ".snd", ".aiff", ".aif"}) {
        const std::size_t n = std::strlen(ext);
        if (file.size() + n != lower.size()) continue;
        for (std::size_t i = 0; i + n <= lower.size(); ++i)
            if (lower.compare(i, n, ext) == 0 && lower.substr(0, i) + lower.substr(i + n) == file) return;
    }
    Fail("StripAudioExtension did more than lower-case and remove one extension", before);
}

void CheckRemoveUnprintable(const std::string& name) {
    FileSpec spec = SpecOf(name);
    RemoveUnprintable(spec);
    const std::string after = NameOf(spec);
    CheckSameDirectory(name, after, "RemoveUnprintable");
    std::string expected = name.substr(0, FilePartStart(name));
    for (char c : name.substr(FilePartStart(name)))
        if (Printable(std::string(1, c))) expected += c;
    if (after != expected) Fail("RemoveUnprintable kept or dropped the wrong characters", name);
}

// MakeUniqueName of name; the result checked against the name and the suffix.
std::string CheckUnique(const std::string& name, const std::string& suffix, bool shortNames) {
    FileSpec spec = SpecOf(name);
    MakeUniqueName(spec, LString255(suffix.c_str()));
    const std::string after = NameOf(spec);
    if (after.size() > 254) Fail("MakeUniqueName made a name longer than 254 characters", name);
    const std::size_t dirLength = FilePartStart(name);
    if (name.find('\0') < dirLength) {
        // The file system would read such a name as a shorter, other one.
        if (!after.empty()) Fail("MakeUniqueName made a name in a directory holding a zero byte", name);
        return after;
    }
    // The file part the name keeps at most: its printable characters (with short names, those
    // in front of its last dot).
    FileSpec printable = SpecOf(name);
    RemoveUnprintable(printable);
    std::string kept = NameOf(printable).substr(dirLength);
    if (shortNames && kept.rfind('.') != std::string::npos) kept.resize(kept.rfind('.'));
    if (after.empty()) {
        // Only a name with no suffix and nothing printable (with short names: nothing in front
        // of the extension) comes out empty, or one whose directory leaves no room for one
        // character of the file part, a counter (a dot and at most ten digits) and the suffix
        // within 253 characters (a cut without a dot loses one character more than it must).
        const bool nothingLeft = kept.empty() && suffix.empty();
        if (!nothingLeft && dirLength + 1 + 11 + suffix.size() <= 253)
            Fail("MakeUniqueName gave up on a name with room", name);
        return after;
    }
    CheckSameDirectory(name, after, "MakeUniqueName");
    const std::string file = after.substr(dirLength);
    // A cut keeps at least the first character of the file part: it never leaves the tail
    // alone (".wav", a hidden file) where the name had characters of its own.
    if (!kept.empty() && (file.empty() || file[0] != kept[0]))
        Fail("MakeUniqueName cut away the whole file part", name);
    if (!Printable(file)) Fail("MakeUniqueName left an unprintable character", name);
    if (file.size() < suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
        Fail("MakeUniqueName lost the suffix", name);
    if (shortNames && file.size() > 8 + 20 + suffix.size()) Fail("short name longer than 8 characters", name);
    if (fuzzcheck::Exists(after)) Fail("MakeUniqueName chose a name that exists", after);
    return after;
}

void CheckOutputNames(const std::string& dirName, const std::string& stored) {
    Sandbox& b = Box();
    const std::string dir = b.work + "/" + dirName;
    if (::mkdir(dir.c_str(), 0700) != 0) return;   // no such directory can be made: nothing to try
    FileSpec input = SpecOf((dir + "/in.kob").substr(0, 255));
    KOBEntryHeader header{};
    std::memcpy(header.mBytes + 37, stored.data(), std::min<std::size_t>(stored.size(), 255));
    OutputNames names;
    try {
        OutputFolders folders;   // beside the input, the current directory as the fallback
        names = ChooseOutputNames(input, header, folders);
    } catch (ErrorCode) {
        RemoveTree(dir);
        return;   // not even the fallback name could be created
    }
    const std::string inputName = NameOf(input);
    const std::string wave = NameOf(names.wave);
    // The listing is named when its WAVE file is complete: beside that name, with ".err".
    FileSpec listingSpec = names.wave;
    MakeUniqueName(listingSpec, LString255(".err"));
    const std::string listing = NameOf(listingSpec);
    if (wave.size() > 254 || listing.size() > 254) Fail("output name longer than 254 characters", wave);
    // The fallback name stands alone, in the current directory.
    const bool fallback = wave.find('/') == std::string::npos;
    if (!fallback) CheckSameDirectory(inputName, wave, "ChooseOutputNames");
    if (!fallback && !wave.empty() && Lower(wave.substr(FilePartStart(inputName))) != wave.substr(FilePartStart(inputName)))
        Fail("output file part not lower case", wave);
    if (!Printable(wave.substr(FilePartStart(wave)))) Fail("output file part not printable", wave);
    if (!wave.empty() && listing.compare(0, FilePartStart(wave), wave, 0, FilePartStart(wave)) != 0)
        Fail("listing not beside its output", listing);
    if (fuzzcheck::Exists(wave) || fuzzcheck::Exists(listing)) Fail("an output name that exists (the probe is left)", wave);
    if (!fuzzcheck::FolderEntries(dir).empty()) Fail("the probe file is left", dir);
    if (!fuzzcheck::FolderEntries(b.cwd).empty()) Fail("a probe file is left in the current directory", b.cwd);
    RemoveTree(dir);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    Sandbox& b = Box();
    const std::uint8_t control = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool shortNames = control & 1;
    const char* const suffixes[] = {"", ".wav", ".err", ".wav"};
    const std::string suffix = suffixes[(control >> 1) & 3];
    const bool inFolder = control & 8;

    fuzzcheck::InDirectory cwd(b.cwd);
    const DWORD reported = GetVersion();
    platform::SetReportedVersionForTesting(shortNames ? 0x80000003u : 0x1DB10106u);
    const std::string name = (inFolder ? b.work + "/" + bytes : bytes).substr(0, 255);
    CheckStrip(name);
    CheckRemoveUnprintable(name);
    // The program's names never hold a zero byte (a stored name ends at its first one, and a
    // command line cannot carry one), but MakeUniqueName is made safe against them all the same:
    // one in the file part is dropped as unprintable, one in the directory part leaves no name.
    if (inFolder) {
        // Each name made is then taken: the next one must be another free name.
        std::vector<std::string> made;
        for (int round = 0; round < 3; ++round) {
            const std::string unique = CheckUnique(name, suffix, shortNames);
            if (unique.empty()) break;
            for (const std::string& earlier : made)
                if (earlier == unique) Fail("MakeUniqueName gave a taken name again", unique);
            made.push_back(unique);
            // Only names in the folder itself are created (the name bytes may hold a '/').
            if (FilePartStart(unique) != b.work.size() + 1) break;
            FILE* fp = std::fopen(unique.c_str(), "wx");
            if (!fp) break;
            std::fclose(fp);
        }
        for (const std::string& path : made) ::unlink(path.c_str());
    } else {
        CheckUnique(name, suffix, shortNames);
    }
    platform::SetReportedVersionForTesting(reported);

    // A directory name and a stored name for the converter's output names.
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos && zero > 0 && zero < 120 && bytes.find('/') >= zero) {
        const std::string dirName = bytes.substr(0, zero);
        if (dirName != "." && dirName != "..") CheckOutputNames(dirName, bytes.substr(zero + 1));
    }
    if (!fuzzcheck::FolderEntries(b.work).empty()) Fail("a file is left in the folder", b.work);
    return 0;
}
