#include "convert/ConvertBatch.h"

#include "convert/ConvertFile.h"
#include "platform/Windows.h"
#include "stream/FileSpec.h"
#include "stream/LFileCachedStream.h"
#include "ui/Globals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr std::int32_t kCacheSize = 0x40000;
constexpr std::size_t kNameLimit = 254;
constexpr std::size_t kMessageSize = 1240;
// The longest part of a name that the message shows: room for " is not a KOB file or corrupted"
// and the terminator, so the fixed text is never cut.
constexpr int kMessageNameLimit = 1208;

FileSpec SpecForToken(const char* token) {
    FileSpec spec{};
    const std::size_t length = std::min(std::strlen(token), kNameLimit);
    spec.mName[0] = static_cast<std::uint8_t>(length);
    std::memcpy(spec.mName + 1, token, length);
    return spec;
}

void ReportFailure(const char* token) {
    char message[kMessageSize];
    std::snprintf(message, sizeof message, "%.*s is not a KOB file or corrupted", kMessageNameLimit, token);
    MessageBoxA(gMainWindow, message, nullptr, MB_ICONHAND | MB_SETFOREGROUND);
}

void ConvertNames(char* text) {
    char* token = crt::strtok(text, " ");
    if (!token) return;
    std::optional<LFileCachedStream> input;
    try {
        while (token) {
            const FileSpec spec = SpecForToken(token);
            input.emplace(spec, kCacheSize);
            input->OpenDataFork(0);
            try {
                ConvertFile(*input, spec);
            } catch (std::int32_t) {
                ReportFailure(token);   // the whole name from the command line, not the 254 kept
            }
            input.reset();
            token = crt::strtok(nullptr, " ");
        }
    } catch (std::int32_t) {
        // The reason is that of the call that failed. A failed open keeps its own; anything
        // since (its trace, the stream's destruction) may have left another number in errno.
        const int error = input && input->GetOpenError() != 0 ? input->GetOpenError() : errno;
        input.reset();
        errno = error;
        std::perror("Caught Error: ");
    }
}

} // namespace

void ConvertBatch(void* commandLine) {
    // WATCHOUT: split in place. The program may end while this thread is still between two
    // names, so the text it is handed must outlive the program's static objects.
    if (commandLine) ConvertNames(static_cast<char*>(commandLine));
    PostMessageA(gMainWindow, UM_BATCHDONE, 0, 0);
    _endthread();
}
