#include "convert/OutputNames.h"

#include "platform/runtime/Crt.h"
#include "stream/LFile.h"
#include "stream/LString255.h"
#include "stream/OutputNaming.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::int32_t kProbeCreator = 0x68756875;   // "huhu"
constexpr std::int32_t kProbeType = 0x68616861;      // "haha"
constexpr char kFallbackName[] = "c:\\xyzzy";

// How many characters of the name belong to its directory: up to and including the last '/'
// (0 for a name without one).
int DirectoryLength(const FileSpec& spec) {
    for (int i = spec.mName[0]; i >= 1; --i)
        if (spec.mName[i] == '/') return i;
    return 0;
}

// The input's directory (everything up to and including the last '/') followed by the stored
// name. A '/' inside the stored name becomes '_', so a stored name cannot lead the output into
// another directory.
void JoinStoredName(FileSpec& spec, const KOBEntryHeader& header) {
    std::uint8_t* name = spec.mName;
    const int k = DirectoryLength(spec);
    const int room = 254 - k;
    int length = k;
    const std::string stored = header.storedName();
    for (int i = 0; i < static_cast<int>(stored.size()) && i < room; ++i) {
        const char c = stored[static_cast<std::size_t>(i)];
        name[1 + length++] = static_cast<std::uint8_t>(c == '/' ? '_' : c);
    }
    if (length > 253) length = 253;
    name[0] = static_cast<std::uint8_t>(length);
}

void SetName(FileSpec& spec, const char* text) {
    const std::size_t length = std::strlen(text);
    spec.mName[0] = static_cast<std::uint8_t>(length);
    std::memcpy(spec.mName + 1, text, length);
}

// For a folder that takes no new file (read-only media): the name the output would have had,
// in the current directory, so that the recording keeps its name. Only when that name is empty
// does the old fixed name stand in.
void FallBackToCurrentDirectory(FileSpec& spec) {
    const int start = DirectoryLength(spec);
    const int filePart = spec.mName[0] - start;
    if (filePart == 0) {
        SetName(spec, kFallbackName);
        return;
    }
    std::memmove(spec.mName + 1, spec.mName + 1 + start, static_cast<std::size_t>(filePart));
    spec.mName[0] = static_cast<std::uint8_t>(filePart);
}

// Tries to create (and at once remove) a file of the output's name, made unique, so that a
// directory that takes no new files is found before anything is written. A candidate that
// someone else creates first is no sign of such a directory: the next free name is tried.
// Returns false when that went on until the tries ran out; a refusal throws the probe's code.
bool ProbeWritable(const FileSpec& output) {
    FileSpec probe;
    return CreateUnderFreeName(output, LString255(), probe, [](const FileSpec& candidate) {
        LFile file(candidate);
        try {
            file.CreateWritableFile(kProbeCreator, kProbeType, 0);
        } catch (std::int32_t) {
            if (file.GetOpenError() == EEXIST) return false;
            throw;
        }
        file.CloseDataFork();
        char path[kPathTextSize];
        if (crt::remove(FileSpecPathText(candidate, path)) != 0) std::perror("trying to remove file: ");
        return true;
    });
}

// The probe that ran out of free names: the folder is busy, not closed, so the fallback would
// be wrong; the entry fails with the probe's code.
constexpr std::int32_t kProbeFailed = 1;

} // namespace

OutputNames ChooseOutputNames(const FileSpec& inputSpec, const KOBEntryHeader& header) {
    OutputNames names;
    names.wave = inputSpec;
    JoinStoredName(names.wave, header);
    bool probed = false;
    try {
        probed = ProbeWritable(names.wave);
    } catch (std::int32_t) {
        FallBackToCurrentDirectory(names.wave);
        // A fallback that takes no file either would be probed for ever: give up with its code.
        probed = ProbeWritable(names.wave);
    }
    if (!probed) throw kProbeFailed;
    StripAudioExtension(names.wave);
    names.stem = names.wave;
    MakeUniqueName(names.wave, LString255(".wav"));
    names.listing = names.wave;
    MakeUniqueName(names.listing, LString255(".err"));
    return names;
}
