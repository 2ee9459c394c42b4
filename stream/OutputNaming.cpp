#include "stream/OutputNaming.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/runtime/Crt.h"
#include "platform/runtime/Kernel.h"

namespace {

// Longest name handed back: the 255 bytes CopyString255 stores less its length byte.
constexpr int kMaxNameLength = 254;
// Characters a short name keeps of its file part, counter and suffix not counted.
constexpr int kShortNameLength = 8;

// Index of the first character of the file part: the one behind the last '/', 0 when the
// name has none.
int FilePartStart(const std::uint8_t* chars, int length) {
    for (int i = length; i > 0; --i)
        if (chars[i - 1] == '/') return i;
    return 0;
}

bool IsPrintable(std::uint8_t c) {
    return c >= 0x20 && c <= 0x7E;
}

// The last '.' among chars[from..to-1], -1 when there is none.
int LastDot(const std::uint8_t* chars, int from, int to) {
    for (int i = to; i > from; --i)
        if (chars[i - 1] == '.') return i - 1;
    return -1;
}

// Cuts s to keep characters (Remove counts positions from 1).
void CutTo(LString255& s, int keep) {
    if (keep < s.Length()) s.Remove(static_cast<std::uint8_t>(keep + 1), 255);
}

// Whether a file system entry of this name exists. lstat, not an open for reading: a file we
// may not read, a directory and a link to nothing are all names we must not write to.
// (Nothing is opened, so there is no close whose failure could need a report.)
bool NameIsTaken(int folder, const LString255& name) {
    char path[kPathTextSize];
    int n = 0;
    while (n < name.Length() && name.Chars()[n] != 0) {
        path[n] = static_cast<char>(name.Chars()[n]);
        ++n;
    }
    path[n] = '\0';
    struct stat status {};
    return crt::fstatat(folder, path, &status) == 0;
}

// The counter each name was last given in this run, so that the thousandth recording of one
// name tests one name, not a thousand. Only for folders the program opened itself (each
// opening has a number of its own, so a closed folder's memory never applies to another),
// keyed by that number, the name and the suffix. A name freed meanwhile is not given again;
// names taken by others since are still tested and skipped.
class CountersGiven {
public:
    long long First(const std::string& key) {
        std::lock_guard lock(mMutex);
        const auto found = mNext.find(key);
        return found == mNext.end() ? 0 : found->second;
    }
    void Gave(const std::string& key, long long counter) {
        std::lock_guard lock(mMutex);
        if (mNext.size() > kMostNames) mNext.clear();   // a bound on memory, not on speed
        mNext[key] = counter;
    }

private:
    static constexpr std::size_t kMostNames = 100000;
    std::mutex mMutex;
    std::map<std::string, long long> mNext;
};

CountersGiven& Counters() {
    static CountersGiven* counters = new CountersGiven;   // used until the very end
    return *counters;
}

// "" when the folder is not one the program opened: then every name is tested from 0.
std::string CounterKey(const FileSpec& spec, const LString255& suffix, bool longNames) {
    const unsigned long long opening = crt::FolderOpening(spec.mFolder);
    if (opening == 0) return "";
    std::string key = std::to_string(opening) + (longNames ? "L/" : "S/");
    key.append(reinterpret_cast<const char*>(spec.mName + 1), spec.mName[0]);
    key += '/';
    key.append(reinterpret_cast<const char*>(suffix.Chars()), suffix.Length());
    return key;
}

} // namespace

bool HasLongFileNames(std::uint32_t version) {
    return (version & 0x80000000u) == 0 || (version & 0xFFu) >= 4;
}

void StripAudioExtension(FileSpec& spec) {
    char text[kPathTextSize];
    int length = 0;
    while (length < spec.mName[0] && spec.mName[1 + length] != 0) {
        text[length] = static_cast<char>(spec.mName[1 + length]);
        ++length;
    }
    text[length] = '\0';

    const int fileStart = FilePartStart(reinterpret_cast<const std::uint8_t*>(text), length);
    for (int i = fileStart; i < length; ++i)
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] - 'A' + 'a');

    // The order matters: ".aiff" is looked for before ".aif", so "song.aiff" loses all of it.
    static const char* const kExtensions[] = {".sdm", ".snd", ".aiff", ".aif"};
    for (const char* extension : kExtensions) {
        char* hit = std::strstr(text + fileStart, extension);
        if (!hit) continue;
        const std::size_t n = std::strlen(extension);
        std::memmove(hit, hit + n, std::strlen(hit + n) + 1);
        length -= static_cast<int>(n);
        break;
    }

    spec.mName[0] = static_cast<std::uint8_t>(length);
    std::memcpy(spec.mName + 1, text, static_cast<std::size_t>(length));
}

void RemoveUnprintable(FileSpec& spec) {
    std::uint8_t* chars = spec.mName + 1;
    const int length = spec.mName[0];
    int kept = FilePartStart(chars, length);
    for (int i = kept; i < length; ++i)
        if (IsPrintable(chars[i])) chars[kept++] = chars[i];
    spec.mName[0] = static_cast<std::uint8_t>(kept);
}

void MakeUniqueName(FileSpec& spec, LString255 suffix) {
    RemoveUnprintable(spec);
    // A zero byte can now lie only in the directory part. The file system would see the name
    // end there, in some other folder, so no name is made.
    if (std::memchr(spec.mName + 1, 0, spec.mName[0]) != nullptr) {
        spec.mName[0] = 0;
        return;
    }
    const bool longNames = HasLongFileNames(GetVersion());
    const std::string key = CounterKey(spec, suffix, longNames);

    // The counter has no bound: every candidate is a new name, so one is free in the end.
    for (long long i = key.empty() ? 0 : Counters().First(key);; ++i) {
        LString255 base;
        base.Assign(spec.mName + 1, spec.mName[0]);
        const int dirLength = FilePartStart(base.Chars(), base.Length());

        LString255 tail;
        if (i >= 1) {
            if (longNames) tail.AppendChar('.');
            char digits[32];
            const int n = std::snprintf(digits, sizeof digits, "%lld", i);
            tail.Append(digits, static_cast<std::uint8_t>(n));
        }
        tail.Append(suffix.Chars(), suffix.Length());

        int limit = kMaxNameLength - tail.Length();
        if (!longNames) {
            // The file part loses its extension (behind its last dot) and keeps 8 characters.
            const int dot = LastDot(base.Chars(), dirLength, base.Length());
            if (dot >= 0) CutTo(base, dot);
            CutTo(base, dirLength + kShortNameLength);
            if (dirLength + kShortNameLength < limit) limit = dirLength + kShortNameLength;
        }

        if (dirLength > limit) {
            // Even an empty file part would not leave room for the tail, and a longer counter
            // only makes it worse.
            spec.mName[0] = 0;
            return;
        }

        if (base.Length() > limit) {
            // Cut at the last dot in the file part within the limit, taking the character in
            // front of it as well; with no dot there, one character short of the limit. A dot
            // that is the file part's first or second character would leave nothing of it, and
            // the recording would lose its name to the tail alone (".wav", a hidden file, or ""
            // for the probe's first candidate): it is cut as if there were no dot.
            const int dot = LastDot(base.Chars(), dirLength, limit);
            int keep = dot - 1 > dirLength ? dot - 1 : limit - 1;
            if (keep <= dirLength) {
                // Not even one character of the file part fits in front of the tail, and a
                // longer counter only leaves less room: no name here.
                spec.mName[0] = 0;
                return;
            }
            CutTo(base, keep);
        }

        // WATCHOUT: base + tail is at most 254 characters here, so the name tested is exactly
        // the name stored; a longer one would be cut on the way into the specifier.
        LString255 candidate = base;
        candidate.Append(tail.Chars(), tail.Length());
        if (NameIsTaken(spec.mFolder, candidate)) continue;
        if (!key.empty()) Counters().Gave(key, i);
        CopyString255(candidate, spec.mName, 255);
        return;
    }
}
