#include "convert/ConvertBatch.h"

#include "convert/BatchReport.h"
#include "convert/BlockScanner.h"
#include "convert/ConvertFile.h"
#include "convert/InputOpening.h"
#include "convert/RunOptions.h"
#include "platform/runtime/Startup.h"
#include "platform/Windows.h"
#include "stream/ErrorCode.h"
#include "stream/FileSpec.h"
#include "stream/LFileCachedStream.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// Set before the worker starts, read by it alone.
BatchTarget& TheBatchTarget() {
    static BatchTarget window{nullptr, 0, &NoProgress()};
    return window;
}

constexpr std::int32_t kCacheSize = 0x40000;
constexpr std::size_t kMessageSize = 1240;
// The longest part of a name that the message shows: room for " is not a KOB file or corrupted"
// and the terminator, so the fixed text is never cut.
constexpr int kMessageNameLimit = 1208;

void ReportFailure(const char* token) {
    char message[kMessageSize];
    std::snprintf(message, sizeof message, "%.*s is not a KOB file or corrupted", kMessageNameLimit, token);
    MessageBoxA(TheBatchTarget().window, message, nullptr, MB_ICONHAND | MB_SETFOREGROUND);
}

// Splits one argument's text in place: at spaces (only spaces: no quoting), unless the whole
// text names something that exists, which is then one name, spaces and all.
void SplitArgument(char* text, std::vector<char*>& names) {
    struct stat status {};
    if (std::strchr(text, ' ') && ::lstat(text, &status) == 0) {
        names.push_back(text);
        return;
    }
    for (char* token = crt::strtok(text, " "); token; token = crt::strtok(nullptr, " ")) names.push_back(token);
}

// The names of the command line, in order, all split before the first is converted, so that
// what the batch writes cannot change how a later argument is read. The start-up's own text is
// split argument by argument; any other text counts as one argument.
std::vector<char*> SplitNames(char* text, const std::vector<std::size_t>* lengths) {
    std::vector<char*> names;
    if (!lengths) {
        SplitArgument(text, names);
        return names;
    }
    char* at = text;
    for (const std::size_t length : *lengths) {
        char* end = at + length;
        const bool last = *end == '\0';
        *end = '\0';
        SplitArgument(at, names);
        if (last) break;
        at = end + 1;
    }
    return names;
}

// The folder every output goes into, when the user chose one: opened by the start-up code.
std::atomic<int> gOutputFolder{-1};

void ConvertNames(char* text) {
    const std::vector<char*> names = text ? SplitNames(text, platform::ArgumentLengths(text)) : std::vector<char*>{};
    BatchReport& report = TheBatchReport();
    report.Begin(std::vector<std::string>(names.begin(), names.end()));
    const bool keepGoing = TheRunOptions().keepGoing;
    InputOpening opening(gOutputFolder.load());
    std::optional<LFileCachedStream> input;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const char* token = names[i];
        report.Start(i);
        int error = 0;
        try {
            // The whole name, however long: it names this file and no other.
            const OpenedInput opened = opening.Open(token, input, kCacheSize, error);
            try {
                ConvertFile(*input, opened.spec, opened.folders, *TheBatchTarget().progress);
                report.End(BatchReport::Outcome::Converted);
            } catch (ErrorCode) {
                if (!TheRunOptions().rescue && HoldsSignatures(*input)) report.MayRescue();
                report.End(BatchReport::Outcome::NotKob);
                ReportFailure(token);   // the whole name from the command line
            }
            input.reset();
        } catch (ErrorCode) {
            // The reason is that of the call that failed. A failed open keeps its own; anything
            // since (its trace, the stream's destruction) may have left another number in errno.
            if (error == 0) error = errno != 0 ? errno : EIO;
            input.reset();
            report.End(BatchReport::Outcome::CannotOpen, error);
            errno = error;
            std::perror("Caught Error: ");
            if (keepGoing) continue;
            report.EndList();
            return;
        }
    }
}

} // namespace

std::vector<std::string> BatchNames(const char* commandLine) {
    if (!commandLine) return {};
    std::string copy(commandLine);
    const std::vector<char*> names = SplitNames(copy.data(), platform::ArgumentLengths(commandLine));
    return {names.begin(), names.end()};
}

void SetBatchTarget(const BatchTarget& window) {
    TheBatchTarget() = window;
    if (!TheBatchTarget().progress) TheBatchTarget().progress = &NoProgress();
}

void SetOutputFolder(int folder) {
    gOutputFolder.store(folder);
}

void ConvertBatch(void* commandLine) {
    // WATCHOUT: split in place. The program may end while this thread is still between two
    // names, so the text it is handed must outlive the program's static objects.
    ConvertNames(static_cast<char*>(commandLine));
    TheBatchReport().Finish();
    PostMessageA(TheBatchTarget().window, TheBatchTarget().doneMessage, 0, 0);
    _endthread();
}
