// Fuzz target: a hostile KOB file through ConvertFile, as the batch driver runs it.
//
// The input (after FixUpKob, see KobFixups.h) is written as Input.KOB into a private folder and
// converted through a cached stream with the driver's 256 KiB cache, against a headless window.
// Afterwards, whatever ConvertFile did:
//   - the folder holds only the input and names the naming rules can give an entry of the file:
//     "<name>.wav" or "<name>.<n>.wav", and listings behind them ending in ".err" (names cut to
//     254 characters where they would be longer); no probe file is left;
//   - every .wav file is complete: its length is 44 plus the data size its header declares;
//   - every listing is made of whole, well-formed lines;
//   - nothing was written next to the folder or into the current directory, no file is left
//     open, and none that stays is still marked unfinished (it would be deleted at exit);
//   - when ConvertFile threw, the output it was writing (the name the window shows) is gone;
//     when it returned, the window shows no file name (every entry was finished).
// The input itself must be left as it was. Any violation aborts. The folder is emptied after
// every input.
//
// Then the same input is converted again with --rescue (when the recordings a rescue could make
// of its blocks stay within the sample cap), under the same checks, and one more: every sample
// written that is not silence is one that a block passing its header check and its data
// checksum holds at that frame and channel. Rescued recordings may also be named after the
// input ("input.rescued.<n>") or after 400 bytes in front of a block that look like a header.
#include "convert/ConvertFile.h"
#include "convert/KobFormat.h"
#include "convert/RunOptions.h"
#include "fuzz/GoodBlocks.h"
#include "fuzz/HeadlessWindow.h"
#include "fuzz/KobFixups.h"
#include "fuzz/OutputChecks.h"
#include "platform/runtime/ByteOrder.h"
#include "platform/runtime/Crt.h"
#include "stream/ErrorCode.h"
#include "stream/FileSpec.h"
#include "stream/LFileCachedStream.h"
#include "stream/OutputNaming.h"
#include "ui/ProgressPanel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

// The batch driver's input cache.
constexpr std::int32_t kCacheSize = 0x40000;
constexpr std::size_t kMaxName = 254;
// Upper case, so that no output name (always lower case) can ever be the input's.
constexpr char kInputName[] = "Input.KOB";

struct Sandbox {
    std::string root;    // holds only in/ and cwd/
    std::string in;      // the input and the outputs
    std::string cwd;     // the current directory while converting: stays empty
};

void RemoveSandbox();

Sandbox& Box() {
    // On the heap and never destroyed: the exit handler that removes the folders needs it.
    static Sandbox& box = *[] {
        auto* made = new Sandbox;
        Sandbox& b = *made;
        b.root = fuzzcheck::MakePrivateFolder("dudez-fuzz-");
        b.in = b.root + "/in";
        b.cwd = b.root + "/cwd";
        if (::mkdir(b.in.c_str(), 0700) != 0 || ::mkdir(b.cwd.c_str(), 0700) != 0)
            fuzzcheck::Fail("mkdir", b.root);
        std::atexit(RemoveSandbox);
        return made;
    }();
    return box;
}

void RemoveSandbox() {
    Sandbox& b = Box();
    for (const std::string& dir : {b.in, b.cwd}) {
        for (const std::string& name : fuzzcheck::FolderEntries(dir)) ::unlink((dir + "/" + name).c_str());
        ::rmdir(dir.c_str());
    }
    ::rmdir(b.root.c_str());
}

// The name an entry's output starts from, before a suffix or counter: the input's directory,
// the stored name with '/' made '_', cut as the converter cuts it, stripped of its audio
// extension, lower-cased and without unprintable characters. Returned as its file part.
std::string BaseName(const std::string& dir, const KOBEntryHeader& header) {
    std::string joined = dir + "/";
    const std::size_t k = joined.size();
    std::string stored = header.storedName();
    for (char& c : stored)
        if (c == '/') c = '_';
    joined += stored.substr(0, kMaxName > k ? kMaxName - k : 0);
    if (joined.size() > 253) joined.resize(253);
    FileSpec spec = MakeFileSpec(joined);
    StripAudioExtension(spec);
    RemoveUnprintable(spec);
    const std::string path = FileSpecPath(spec);
    return path.substr(path.rfind('/') + 1);
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// s is "." and a counter (1, 2, ... in decimal).
bool IsCounter(const std::string& s) {
    if (s.size() < 2 || s[0] != '.' || s[1] == '0') return false;
    for (std::size_t i = 1; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// A file part read as a name made unique with a suffix: what stands in front of the suffix
// (rest) and, when rest ends in a counter, rest without it (kept) and the counter (tail).
// Split once per name, then matched against every base.
struct UniqueParts {
    bool hasSuffix = false;
    std::size_t suffixLength = 0;
    std::string rest, kept, tail;
};

UniqueParts SplitUnique(const std::string& suffix, const std::string& name) {
    UniqueParts parts;
    if (!EndsWith(name, suffix)) return parts;
    parts.hasSuffix = true;
    parts.suffixLength = suffix.size();
    parts.rest = name.substr(0, name.size() - suffix.size());
    // The counter, if there is one, is the last "." and digits of rest.
    parts.kept = parts.rest;
    const std::size_t dot = parts.rest.rfind('.');
    if (dot != std::string::npos && IsCounter(parts.rest.substr(dot))) {
        parts.kept = parts.rest.substr(0, dot);
        parts.tail = parts.rest.substr(dot);
    }
    return parts;
}

// Whether the split name is base made unique with its suffix: base, or base and a counter,
// then the suffix; or, where that would pass 254 characters with the directory, a shorter
// part of base in front of them.
bool IsUniqueForm(std::size_t dirLength, const std::string& base, const UniqueParts& parts) {
    if (!parts.hasSuffix) return false;
    const std::pair<const std::string*, std::size_t> forms[] = {{&parts.rest, 0}, {&parts.kept, parts.tail.size()}};
    for (const auto& [keep, counter] : forms) {
        if (*keep == base) return true;
        const bool cutNeeded = dirLength + base.size() + counter + parts.suffixLength > kMaxName;
        if (cutNeeded && keep->size() < base.size() && StartsWith(base, *keep)) return true;
    }
    return false;
}

bool IsAllowedWave(std::size_t dirLength, const std::set<std::string>& bases, const std::string& name) {
    const UniqueParts parts = SplitUnique(".wav", name);
    for (const std::string& base : bases)
        if (IsUniqueForm(dirLength, base, parts)) return true;
    return false;
}

// t is where a wave name's tail may be cut: a beginning of ".wav" or of a counter and ".wav".
bool IsTailBeginning(const std::string& t) {
    std::size_t i = 0;
    if (t.size() >= 2 && t[0] == '.' && t[1] >= '1' && t[1] <= '9') {
        i = 2;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        if (i == t.size()) return true;
    }
    return std::string(".wav").compare(0, t.size() - i, t, i, t.size() - i) == 0 && t.size() - i <= 4;
}

// A listing is a wave name made unique with ".err"; the wave name itself may be one that no
// longer exists (the output of a failed entry is removed, its listing stays).
bool IsAllowedListing(std::size_t dirLength, const std::set<std::string>& bases, const std::string& name) {
    if (!EndsWith(name, ".err")) return false;
    const std::string rest = name.substr(0, name.size() - 4);
    std::vector<std::pair<std::string, std::size_t>> waves{{rest, 0}};   // wave name, counter length
    const std::size_t dot = rest.rfind('.');
    if (dot != std::string::npos && IsCounter(rest.substr(dot))) waves.emplace_back(rest.substr(0, dot), rest.size() - dot);
    std::vector<UniqueParts> waveParts;
    for (const auto& wave : waves) waveParts.push_back(SplitUnique(".wav", wave.first));
    for (const std::string& base : bases) {
        for (std::size_t k = 0; k < waves.size(); ++k) {
            const auto& [wave, counter] = waves[k];
            if (IsUniqueForm(dirLength, base, waveParts[k])) return true;
            // Cut to fit: the wave name was long enough to need it (its own counter, at most
            // ten digits, included), and what is left is a beginning of one.
            if (dirLength + base.size() + 4 + 11 + counter + 4 <= kMaxName) continue;
            for (std::size_t j = std::min(wave.size(), base.size()) + 1; j-- > 0;)
                if (base.compare(0, j, wave, 0, j) == 0 && IsTailBeginning(wave.substr(j))) return true;
        }
    }
    return false;
}

void CheckFolder(const std::vector<std::uint8_t>& file, const std::vector<std::size_t>& entries, bool threw,
                 const std::string& shown, const GoodBlocks* rescued) {
    Sandbox& b = Box();
    const std::vector<std::string> rootEntries = fuzzcheck::FolderEntries(b.root);
    const std::set<std::string> top(rootEntries.begin(), rootEntries.end());
    if (top != std::set<std::string>{"in", "cwd"}) fuzzcheck::Fail("something was written beside the folder", b.root);
    if (!fuzzcheck::FolderEntries(b.cwd).empty()) fuzzcheck::Fail("something was written into the current directory", b.cwd);

    // A stored name the naming rules leave empty or hidden is named after the KOB file.
    std::set<std::string> bases{"input"};
    for (const std::size_t at : entries) {
        KOBEntryHeader header;
        std::memcpy(header.mBytes, file.data() + at, sizeof header.mBytes);
        bases.insert(BaseName(b.in, header));
    }
    if (rescued) {
        // A damaged header may name a run: one with half its signature, or right in front of a
        // block; else the input does.
        const auto nameAt = [&](std::size_t at) {
            KOBEntryHeader header{};
            std::memcpy(header.mBytes, file.data() + at, std::min<std::size_t>(sizeof header.mBytes, file.size() - at));
            bases.insert(BaseName(b.in, header));
        };
        for (std::size_t at = 0; at + 4 <= file.size(); ++at) {
            const std::uint32_t word = byteorder::BE32(file.data() + at);
            if (word == kEntryMagic) nameAt(at);
            if (word == kEntryFormatTag && at >= 4) nameAt(at - 4);
            if (word == kBlockMagic && at >= static_cast<std::size_t>(KOBEntryHeader::kSize)) nameAt(at - KOBEntryHeader::kSize);
        }
        for (int n = 1; n <= 64; ++n) bases.insert("input.rescued." + std::to_string(n));
    }

    const std::size_t dirLength = b.in.size() + 1;
    for (const std::string& name : fuzzcheck::FolderEntries(b.in)) {
        const std::string path = b.in + "/" + name;
        if (name == kInputName) continue;
        if (!fuzzcheck::IsRegularFile(path)) fuzzcheck::Fail("output is not a plain file", path);
        if (crt::IsUnfinished(path.c_str())) fuzzcheck::Fail("a file left behind as unfinished", path);
        if (path.size() > kMaxName) fuzzcheck::Fail("output name longer than 254 characters", path);
        if (IsAllowedWave(dirLength, bases, name)) {
            fuzzcheck::CheckWave(path);
            if (rescued) fuzzcheck::CheckWaveFromGoodBlocks(path, *rescued);
        } else if (IsAllowedListing(dirLength, bases, name)) {
            fuzzcheck::CheckListing(path);
        } else {
            fuzzcheck::Fail("a file the naming rules do not allow", path);
        }
    }
    if (threw && !shown.empty() && fuzzcheck::Exists(shown))
        fuzzcheck::Fail("the output of the failed entry is left", shown);
    if (!threw && !shown.empty()) fuzzcheck::Fail("an entry was left unfinished", shown);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static HeadlessWindow window;
    // The window's own progress panel, so the name it shows is the one the checks read.
    static ProgressPanel panel;
    Sandbox& b = Box();

    std::vector<std::uint8_t> file(data, data + size);
    const KobFixupLimits limits;
    FixUpKob(file, limits);
    // The cap is what keeps one input from asking for gigabytes: it must hold for every entry.
    const std::vector<std::size_t> entries = EntryStarts(file);
    for (const std::size_t at : entries)
        if (DeclaredSampleBytes(file.data() + at) > limits.maxSampleBytes)
            fuzzcheck::Fail("the fix-ups left an entry over the sample cap", std::to_string(at));
    const std::string inputPath = b.in + "/" + kInputName;

    const FileSpec spec = MakeFileSpec(inputPath);
    const auto convert = [&](const GoodBlocks* rescued) {
        {
            std::ofstream out(inputPath, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
            if (!out) fuzzcheck::Fail("cannot write the input", inputPath);
        }
        window.SetFileName("");
        TheRunOptions().rescue = rescued != nullptr;
        bool threw = false;
        {
            fuzzcheck::InDirectory cwd(b.cwd);
            LFileCachedStream input(spec, kCacheSize);
            input.OpenDataFork(0);
            try {
                OutputFolders folders;
                folders.folder = spec.mFolder;
                ConvertFile(input, spec, folders, panel);
            } catch (ErrorCode) {
                threw = true;
            }
        }
        TheRunOptions().rescue = false;
        {
            const std::string now = fuzzcheck::ReadFile(inputPath);
            if (now.size() != file.size() || (!file.empty() && std::memcmp(now.data(), file.data(), file.size()) != 0))
                fuzzcheck::Fail("the input was changed", inputPath);
        }
        if (crt::OpenStreamCount() != 0) fuzzcheck::Fail("a file was left open", std::to_string(crt::OpenStreamCount()));
        CheckFolder(file, entries, threw, window.FileName(), rescued);
        fuzzcheck::EmptyFolder(b.in);
    };
    convert(nullptr);

    // A rescue makes recordings as long as their blocks reach, or as a header in front of them
    // says: within the cap, so one input cannot ask for gigabytes.
    const GoodBlocks good(file);
    bool small = good.FurthestEnd() * std::max<std::uint32_t>(good.HighestChannel(), 1) * 2 <= limits.maxSampleBytes;
    for (std::size_t at = KOBEntryHeader::kSize; small && at + 4 <= file.size(); ++at)
        if (byteorder::BE32(file.data() + at) == kBlockMagic &&
            DeclaredSampleBytes(file.data() + at - KOBEntryHeader::kSize) > limits.maxSampleBytes)
            small = false;
    if (small) convert(&good);
    return 0;
}
