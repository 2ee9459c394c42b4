#include "convert/InputOpening.h"

#include "platform/runtime/Crt.h"
#include "stream/ErrorCode.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <string_view>

namespace {

constexpr std::size_t kNameMax = 255;
constexpr std::int64_t kPositionLimit = std::int64_t{INT32_MAX} + 1;

// The folder and the file part of a name: "a/b/x.kob" gives "a/b" and "x.kob", "x.kob" gives
// "" and itself, "/x.kob" gives "/". Slashes at the end belong to no file part.
std::pair<std::string, std::string> Split(std::string name) {
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) return {"", name};
    // The root's slash is its name.
    std::string directory = name.substr(0, slash == 0 ? 1 : slash);
    return {directory, name.substr(slash + 1)};
}

// Whether a folder is one of the system's, whose names are no folder of recordings.
bool IsSystemFolder(int folder) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0) return false;
    const std::string_view path(target, static_cast<std::size_t>(n));
    for (const std::string_view root : {std::string_view("/dev"), std::string_view("/proc")}) {
        if (path.starts_with(root) && (path.size() == root.size() || path[root.size()] == '/')) return true;
    }
    return false;
}

// Reads the rest of the stream into a file without a name; null (errno set) when that fails.
// Only what the search can reach is kept: positions end at 2^31.
std::FILE* ReadWhole(std::FILE* from, int nearFolder) {
    std::FILE* copy = crt::tmpfileat(nearFolder);
    if (!copy) return nullptr;
    static constexpr std::size_t kChunk = 1 << 16;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    std::int64_t total = 0;
    while (total < kPositionLimit) {
        errno = 0;
        const std::size_t got = crt::fread(buffer.get(), 1, kChunk, from);
        if (got > 0 && crt::fwrite(buffer.get(), 1, got, copy) != got) {
            const int error = errno != 0 ? errno : EIO;
            crt::fclose(copy);
            errno = error;
            return nullptr;
        }
        total += static_cast<std::int64_t>(got);
        if (got < kChunk) {
            if (crt::feof(from)) break;
            const int error = errno != 0 ? errno : EIO;
            crt::fclose(copy);
            errno = error;
            return nullptr;
        }
    }
    if (crt::fseek(copy, 0, SEEK_SET) != 0) {
        const int error = errno;
        crt::fclose(copy);
        errno = error;
        return nullptr;
    }
    return copy;
}

} // namespace

InputOpening::~InputOpening() {
    crt::CloseFolder(mFolder);
    crt::CloseFolder(mCurrent);
}

int InputOpening::CurrentFolder() {
    // The names in it are shown as they are: "take.wav".
    if (mCurrent < 0) mCurrent = crt::OpenFolder(".", "");
    return mCurrent >= 0 ? mCurrent : FileSpec::kCurrentFolder;
}

int InputOpening::FolderOf(const std::string& directory, int& error) {
    // The folder of the last input again: the descriptor opened then is that very folder.
    if (mFolder >= 0 && directory == mDirectory) return mFolder;
    const int folder = directory.empty() ? crt::OpenFolder(".", "") : crt::OpenFolder(directory.c_str());
    if (folder < 0) {
        error = errno;
        return -1;
    }
    crt::CloseFolder(mFolder);
    mFolder = folder;
    mDirectory = directory;
    return folder;
}

OpenedInput InputOpening::Open(const std::string& name, std::optional<LFileCachedStream>& stream,
                               std::int32_t cacheSize, int& error) {
    const auto [directory, filePart] = Split(name);
    if (filePart.size() > kNameMax) {
        error = ENAMETOOLONG;
        throw ErrorCode{kCannotOpen};
    }
    const int folder = FolderOf(directory, error);
    if (folder < 0) throw ErrorCode{kCannotOpen};

    OpenedInput opened;
    opened.spec = MakeFileSpec(folder, filePart);
    stream.emplace(opened.spec, cacheSize);
    try {
        stream->OpenDataFork(0);
    } catch (ErrorCode) {
        error = stream->GetOpenError();
        throw;
    }
    opened.folders.folder = folder;
    std::FILE* fork = stream->GetDataFork();
    if (!crt::CanPosition(fork)) {
        std::FILE* copy = ReadWhole(fork, CurrentFolder());
        if (!copy) {
            error = errno != 0 ? errno : EIO;
            std::perror("dudez: reading the input whole");
            throw ErrorCode{kCannotOpen};
        }
        stream->AdoptDataFork(copy);
        opened.folders.folder = CurrentFolder();
    } else if (IsSystemFolder(folder)) {
        opened.folders.folder = CurrentFolder();
    }
    if (mOutputFolder >= 0) opened.folders.folder = mOutputFolder;
    opened.folders.fallback = CurrentFolder();
    return opened;
}
