#include "stream/FileSpec.h"

#include <cstring>

#include "platform/runtime/Crt.h"
#include "stream/LString255.h"

#include <fcntl.h>

static_assert(FileSpec::kCurrentFolder == AT_FDCWD);

char* FileSpecPathText(const FileSpec& spec, char (&scratch)[kPathTextSize]) {
    // The scratch area starts cleared, so a name that stops early at a zero byte leaves no
    // stale bytes between that zero and the length index.
    std::memset(scratch, 0, sizeof scratch);
    const int length = spec.mName[0];
    for (int i = 0; i < length && spec.mName[1 + i] != 0; ++i)
        scratch[i] = static_cast<char>(spec.mName[1 + i]);
    scratch[length] = '\0';
    return scratch;
}

std::string FileSpecPath(const FileSpec& spec) {
    char scratch[kPathTextSize];
    return FileSpecPathText(spec, scratch);
}

FileSpec MakeFileSpec(const char* path) {
    FileSpec spec;
    const std::uint8_t length = StrLen255(path);
    spec.mName[0] = length;
    std::memcpy(spec.mName + 1, path, length);
    return spec;
}

FileSpec MakeFileSpec(int folder, const std::string& name) {
    FileSpec spec = MakeFileSpec(name);
    spec.mFolder = folder;
    return spec;
}

std::string ShownPath(const FileSpec& spec) {
    return crt::ShownPath(spec.mFolder, FileSpecPath(spec));
}
