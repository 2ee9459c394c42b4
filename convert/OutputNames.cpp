#include "convert/OutputNames.h"

#include "convert/BatchReport.h"
#include "convert/OutputFile.h"
#include "platform/runtime/Crt.h"
#include "stream/ErrorCode.h"
#include "stream/LFile.h"
#include "stream/LString255.h"
#include "stream/OutputNaming.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

constexpr std::int32_t kProbeCreator = 0x68756875;   // "huhu"
constexpr std::int32_t kProbeType = 0x68616861;      // "haha"
constexpr char kFallbackName[] = "c:\\xyzzy";
// The probe that could not make its file: the entry fails with the probe's code.
constexpr std::int32_t kProbeFailed = 1;

// How many characters of the name belong to its directory: up to and including the last '/'
// (0 for a name without one, as the program's own names are: a file part in a folder).
int DirectoryLength(const FileSpec& spec) {
    for (int i = spec.mName[0]; i >= 1; --i)
        if (spec.mName[i] == '/') return i;
    return 0;
}

void SetFilePart(FileSpec& spec, const std::string& text) {
    const int start = DirectoryLength(spec);
    const int length = std::min<int>(static_cast<int>(text.size()), 254 - start);
    std::memcpy(spec.mName + 1 + start, text.data(), static_cast<std::size_t>(std::max(length, 0)));
    spec.mName[0] = static_cast<std::uint8_t>(start + std::max(length, 0));
}

std::string FilePart(const FileSpec& spec) {
    const int start = DirectoryLength(spec);
    return std::string(reinterpret_cast<const char*>(spec.mName + 1 + start),
                       static_cast<std::size_t>(spec.mName[0] - start));
}

// The input's directory part (none for a file part in a folder) followed by the stored name.
// A '/' inside the stored name becomes '_', so a stored name cannot lead the output into
// another directory.
void JoinStoredName(FileSpec& spec, const KOBEntryHeader& header) {
    std::string stored = header.storedName();
    for (char& c : stored)
        if (c == '/') c = '_';
    spec.mName[0] = static_cast<std::uint8_t>(DirectoryLength(spec));
    SetFilePart(spec, stored);
    if (spec.mName[0] > 253) spec.mName[0] = 253;
}

// The file part as the naming rules leave it.
std::string AfterNamingRules(FileSpec spec) {
    StripAudioExtension(spec);
    RemoveUnprintable(spec);
    return FilePart(spec);
}

// The KOB file's own name for a recording whose stored name the rules leave empty or hidden:
// its file part without the extension.
std::string NameFromInput(const FileSpec& inputSpec) {
    std::string name = FilePart(inputSpec);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    FileSpec spec;
    SetFilePart(spec, name);
    RemoveUnprintable(spec);
    return FilePart(spec);
}

void NameAfterInputWhenLost(FileSpec& wave, const FileSpec& inputSpec) {
    const std::string stored = FilePart(wave);
    const std::string kept = AfterNamingRules(wave);
    const bool hiddenByRules = !kept.empty() && kept[0] == '.' && (stored.empty() || stored[0] != '.');
    if (!kept.empty() && !hiddenByRules) return;
    const std::string fromInput = NameFromInput(inputSpec);
    SetFilePart(wave, fromInput.empty() || fromInput[0] == '.' ? kFallbackName : fromInput);
}

// For a folder that takes no new file: the same name in the current directory.
void FallBackToCurrentDirectory(FileSpec& spec, int fallback) {
    const std::string name = FilePart(spec);
    spec = FileSpec{};
    spec.mFolder = fallback;
    SetFilePart(spec, name.empty() ? kFallbackName : name);
}

// A folder that refuses a new file in one of these ways takes none: the outputs go elsewhere.
bool TakesNoNewFile(int error) {
    return error == EROFS || error == EACCES || error == EPERM || error == ENOSPC || error == EDQUOT ||
           error == EMLINK;
}

// Removes the probe's file, and only that: the name is removed only while it is still the file
// the probe made.
void RemoveProbe(const FileSpec& candidate, const struct stat& made) {
    char name[kPathTextSize];
    FileSpecPathText(candidate, name);
    struct stat now {};
    if (crt::fstatat(candidate.mFolder, name, &now) != 0) return;   // gone already (the end of the program took it)
    if (now.st_dev != made.st_dev || now.st_ino != made.st_ino) {
        std::fprintf(stderr, "trying to remove file: : the probe %s was replaced\n", name);
        return;
    }
    if (crt::unlinkat(candidate.mFolder, name) != 0) std::perror("trying to remove file: ");
}

// Tries to create (and at once remove) a file beside the output's name, so that a folder that
// takes no new files is found before anything is written. The probe has a hidden name of its
// own (".Take.aif.dudez-Xa3kQ9"): a run killed before it is removed leaves nothing that looks
// like a recording. A name someone else made first is no sign of such a folder: another one is
// tried. Returns 0, or the reason the folder takes no file (EEXIST when the tries ran out).
int ProbeWritable(const FileSpec& output) {
    for (int tries = 0; tries < kNameTries; ++tries) {
        const FileSpec candidate = TemporaryNameFor(output);
        LFile file(candidate);
        try {
            file.CreateWritableFile(kProbeCreator, kProbeType, 0);
        } catch (ErrorCode) {
            if (file.GetOpenError() == EEXIST) continue;
            return file.GetOpenError() != 0 ? file.GetOpenError() : EIO;
        }
        struct stat status {};
        const bool known = crt::IdentityOf(file.GetDataFork(), &status) == 0;
        file.CloseDataFork();
        if (known) RemoveProbe(candidate, status);
        return 0;
    }
    return EEXIST;
}

// A folder that took the probe's file takes new files: it is probed once a run. The folder is
// the one its descriptor was opened on, whatever happens to its path since, so its answer
// holds for the run (a folder made read-only later fails the creation of the WAVE file itself,
// which says so). Known by the opening of its descriptor and the directory part of the name.
class ProbedFolders {
public:
    bool Took(const FileSpec& output) {
        const std::string key = KeyOf(output);
        std::lock_guard<std::mutex> lock(mMutex);
        return !key.empty() && mTook.count(key) != 0;
    }
    void Remember(const FileSpec& output) {
        const std::string key = KeyOf(output);
        std::lock_guard<std::mutex> lock(mMutex);
        if (key.empty()) return;
        // A bound on memory for a batch of many folders (one more probe each after it), not on speed.
        if (mTook.size() >= kMostFolders) mTook.clear();
        mTook.insert(key);
    }

private:
    // "" for a folder the program did not open itself: probed every time.
    static std::string KeyOf(const FileSpec& output) {
        const unsigned long long opening = crt::FolderOpening(output.mFolder);
        if (opening == 0) return "";
        return std::to_string(opening) + '/' +
               std::string(reinterpret_cast<const char*>(output.mName + 1), static_cast<std::size_t>(DirectoryLength(output)));
    }

    static constexpr std::size_t kMostFolders = 100000;
    std::mutex mMutex;
    std::set<std::string> mTook;
};

ProbedFolders& Probed() {
    static ProbedFolders* probed = new ProbedFolders;   // used until the very end
    return *probed;
}

int ProbeOnce(const FileSpec& output) {
    if (Probed().Took(output)) return 0;
    const int reason = ProbeWritable(output);
    if (reason == 0) Probed().Remember(output);
    return reason;
}

// Without a probe: whether a file could be made in the folder now.
int AccessReason(const FileSpec& output) {
    if (::faccessat(output.mFolder, ".", W_OK | X_OK, AT_EACCESS) == 0) return 0;
    return errno;
}

// The report names the WAVE file that could not be written, not the probe's name.
[[noreturn]] void FailProbe(FileSpec wave, int reason) {
    StripAudioExtension(wave);
    MakeUniqueName(wave, LString255(".wav"));
    TheBatchReport().CouldNotWrite(ShownPath(wave), reason);
    throw kProbeFailed;
}

} // namespace

OutputNames ChooseOutputNames(const FileSpec& inputSpec, const KOBEntryHeader& header,
                              const OutputFolders& folders, bool probe) {
    OutputNames names;
    names.wave = inputSpec;
    names.wave.mFolder = folders.folder;
    if (folders.folder != inputSpec.mFolder) names.wave.mName[0] = 0;   // not the input's directory part
    JoinStoredName(names.wave, header);
    NameAfterInputWhenLost(names.wave, inputSpec);

    int reason = probe ? ProbeOnce(names.wave) : AccessReason(names.wave);
    if (reason != 0 && TakesNoNewFile(reason)) {
        FallBackToCurrentDirectory(names.wave, folders.fallback);
        // A fallback that takes no file either would be probed for ever: give up with its code.
        reason = probe ? ProbeOnce(names.wave) : AccessReason(names.wave);
    }
    if (reason != 0) FailProbe(names.wave, reason);
    StripAudioExtension(names.wave);
    names.stem = names.wave;
    MakeUniqueName(names.wave, LString255(".wav"));
    return names;
}
